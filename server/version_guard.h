#pragma once
// Two installations of the filter may sit in different folders; only one of
// them is the registered COM server. These checks keep an older copy from
// taking the registration over and keep a copy that is not the registered
// one from removing it. Whenever something cannot be read, they let the
// caller go on: a broken registration must stay repairable.
#include <windows.h>

#include <string>

namespace ovl::server {

// The InprocServer32 path registered for `clsid`; empty when it cannot be read.
std::wstring RegisteredServerPath(REFCLSID clsid);

// True when both paths name the same file: equal ignoring case, or the same
// file reached through another spelling (a short name, another drive).
bool IsSameFile(const std::wstring& a, const std::wstring& b);

// The fixed file version of the file's version resource, most significant
// half first (so that a plain comparison orders versions).
bool ReadFileVersion(const std::wstring& path, ULONGLONG* version);

// Registration guard: another existing file is registered for `clsid` and
// its file version is greater than this module's.
bool NewerVersionRegisteredElsewhere(REFCLSID clsid);

// Unregistration guard: another existing file is registered for `clsid`.
bool RegisteredToAnotherFile(REFCLSID clsid);

}  // namespace ovl::server

#pragma once
// The COM class keys of the class table under HKEY_CLASSES_ROOT\CLSID.
#include <windows.h>

#include <string>

namespace ovl::server {

// For each entry in table order: "CLSID\{clsid}" = display name,
// "InprocServer32" = `modulePath`, "ThreadingModel" = "Both", all REG_SZ.
// Stops at the first registry error and returns it; later entries are not
// written.
HRESULT WriteClassKeys(const std::wstring& modulePath);

// Removes every entry's "CLSID\{clsid}" with its subkeys. A key that cannot
// be opened counts as removed; the first other failure is returned after all
// entries were tried.
HRESULT DeleteClassKeys();

}  // namespace ovl::server

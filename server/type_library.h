#pragma once
// The automation type library KMVVOvLyLib 1.0, embedded in the module file as
// resource 1 of type TYPELIB.
#include <windows.h>

#include <string>

namespace ovl::server {

// Loads the type library from the file at `path` and registers it there. A
// failure is traced and shown to the user (caption "Error") and returned;
// registration of the module does not depend on it.
HRESULT RegisterTypeLibrary(const std::wstring& path);

// Removes the 64-bit registration of KMVVOvLyLib 1.0, locale 0.
HRESULT UnregisterTypeLibrary();

}  // namespace ovl::server

#include "server/registry_tree.h"

namespace ovl::server {

HRESULT DeleteKeyTree(HKEY parent, const wchar_t* name, REGSAM access) {
  if (name == nullptr || name[0] == L'\0') return E_FAIL;  // never the parent itself
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(parent, name, 0, access, &key);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);

  // Always take the first subkey: deleting it shifts the others down.
  HRESULT hr = S_OK;
  for (;;) {
    wchar_t child[256];  // the longest key name the registry allows, with its terminator
    DWORD length = 256;
    error = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_NO_MORE_ITEMS) break;
    if (error != ERROR_SUCCESS) {
      hr = HRESULT_FROM_WIN32(error);
      break;
    }
    hr = DeleteKeyTree(key, child, access);
    if (FAILED(hr)) break;
  }
  RegCloseKey(key);
  if (FAILED(hr)) return hr;
  error = RegDeleteKeyW(parent, name);
  return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace ovl::server

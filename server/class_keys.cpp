#include "server/class_keys.h"

#include "server/class_table.h"
#include "server/registry_tree.h"

namespace ovl::server {
namespace {

std::wstring ClassKeyName(REFCLSID clsid) {
  wchar_t text[40];
  StringFromGUID2(clsid, text, 40);
  return std::wstring(L"CLSID\\") + text;
}

LONG SetString(HKEY key, const wchar_t* name, const wchar_t* value) {
  const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
}

LONG WriteClassKey(const CFactoryTemplate& entry, const std::wstring& modulePath) {
  HKEY classKey = nullptr;
  LONG error = RegCreateKeyExW(HKEY_CLASSES_ROOT, ClassKeyName(*entry.m_ClsID).c_str(), 0, nullptr,
                               REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &classKey, nullptr);
  if (error != ERROR_SUCCESS) return error;
  error = SetString(classKey, nullptr, entry.m_Name);
  HKEY serverKey = nullptr;
  if (error == ERROR_SUCCESS) {
    error = RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                            &serverKey, nullptr);
  }
  if (error == ERROR_SUCCESS) {
    error = SetString(serverKey, nullptr, modulePath.c_str());
    // Objects may be created and called from any apartment.
    if (error == ERROR_SUCCESS) error = SetString(serverKey, L"ThreadingModel", L"Both");
    RegCloseKey(serverKey);
  }
  RegCloseKey(classKey);
  return error;
}

}  // namespace

HRESULT WriteClassKeys(const std::wstring& modulePath) {
  for (const CFactoryTemplate& entry : kClassTable) {
    const LONG error = WriteClassKey(entry, modulePath);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  }
  return S_OK;
}

HRESULT DeleteClassKeys() {
  HRESULT result = S_OK;
  for (const CFactoryTemplate& entry : kClassTable) {
    const std::wstring name = ClassKeyName(*entry.m_ClsID);
    HKEY probe = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, MAXIMUM_ALLOWED, &probe) != ERROR_SUCCESS) continue;
    RegCloseKey(probe);
    const HRESULT hr = DeleteKeyTree(HKEY_CLASSES_ROOT, name.c_str(), MAXIMUM_ALLOWED);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

}  // namespace ovl::server

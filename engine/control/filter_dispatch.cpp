#include "engine/control/filter_dispatch.h"

#include <vector>

#include "persistence/core/com_ptr.h"

namespace ovl::control {

HRESULT LoadModuleTypeInfo(REFGUID iid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  // The type library is embedded in the module this code is linked into:
  // the filter's DLL, or a test program that carries its own copy.
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&LoadModuleTypeInfo), &module)) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  // The wide file name: the module may live in a folder whose name the ANSI
  // code page cannot spell.
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) {
      const DWORD error = GetLastError();
      return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    if (n < path.size()) break;
    if (path.size() >= 32768) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    path.resize(path.size() * 2);
  }
  // REGKIND_NONE: loading must not register the library as a side effect.
  ComPtr<ITypeLib> library;
  const HRESULT hr = LoadTypeLibEx(path.data(), REGKIND_NONE, library.Put());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(iid, info);
}

}  // namespace ovl::control

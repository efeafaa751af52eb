#include "engine/control/filter_dispatch.h"

#include <vector>

#include "server/module_state.h"

namespace ovl::control {

HRESULT LoadModuleTypeInfo(REFGUID iid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  HMODULE module = ovl::server::ModuleInstance();
  if (module == nullptr) module = GetModuleHandleW(nullptr);
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
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(path.data(), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(iid, info);
  library->Release();
  return hr;
}

}  // namespace ovl::control

#include "server/registration.h"

#include <string>

#include "server/filter_identity.h"
#include "server/class_keys.h"
#include "server/filter_mapper.h"
#include "server/filter_setup.h"
#include "server/module_path.h"
#include "server/registry_tree.h"
#include "diag/trace.h"
#include "server/type_library.h"
#include "server/version_guard.h"

namespace ovl::server {
namespace {


HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

HRESULT RegisterServer() {
  // A newer copy installed elsewhere keeps its registration.
  if (NewerVersionRegisteredElsewhere(identity::kClsidOverlayFilter)) return S_OK;
  diag::Trace("\nDllRegisterServer");

  std::wstring path;
  if (!ModuleFilePath(&path)) return LastErrorResult();
  HRESULT hr = WriteClassKeys(path);
  if (SUCCEEDED(hr)) hr = UpdateFilterMapper(true);

  // The category entry and the type library are extras: the filter works
  // without them, so their failures do not fail the registration.
  if (SUCCEEDED(hr)) RegisterInCategories(kOurCategoryMask);
  RegisterTypeLibrary(path);
  return hr;
}

HRESULT UnregisterServer() {
  // Another installation owns the registration: leave all of it alone.
  if (RegisteredToAnotherFile(identity::kClsidOverlayFilter)) return S_OK;

  // Same precondition as registering: a module that cannot name its own
  // file cannot tell whose registration it would remove.
  std::wstring path;
  if (!ModuleFilePath(&path)) return LastErrorResult();
  HRESULT hr = UpdateFilterMapper(false);
  if (SUCCEEDED(hr)) hr = DeleteClassKeys();

  if (SUCCEEDED(hr)) {
    UnregisterFromCategories(kOurCategoryMask);
    DeleteKeyTree(HKEY_CURRENT_USER, identity::kSettingsKey);
  }
  UnregisterTypeLibrary();
  return hr;
}

}  // namespace ovl::server

#include "server/type_library.h"

#include <oleauto.h>

#include <cstdio>
#include <string>

#include "persistence/core/com_ptr.h"
#include "server/filter_identity.h"
#include "server/trace.h"
#include "ui/modal_seam.h"

namespace ovl::server {
namespace {

// User-interface text is ANSI; `codePage` is the thread's or the system's.
std::string Narrow(const std::wstring& text, UINT codePage) {
  const int bytes = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string result(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, 0, text.c_str(), -1, result.data(), bytes, nullptr, nullptr);
  result.resize(static_cast<size_t>(bytes) - 1);
  return result;
}

}  // namespace

HRESULT RegisterTypeLibrary(const std::wstring& path) {
  ovl::ComPtr<ITypeLib> library;
  // The type library loader works with MAX_PATH buffers (Wine's overruns its
  // stack on longer names), so a longer path counts as a failed load.
  HRESULT hr = path.size() < MAX_PATH ? LoadTypeLib(path.c_str(), library.Put())
                                      : HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  if (FAILED(hr)) {
    Trace("\nT_RegisterTypeLibrary: LoadTypeLib failed 0x%08x", static_cast<unsigned>(hr));
    // Messages are limited to 260 characters, like every message of the filter.
    char text[260];
    std::snprintf(text, sizeof(text), "Failed %s to register type library: %s",
                  TracingEnabled() ? StatusName(hr) : "", Narrow(path, CP_THREAD_ACP).c_str());
    ui::ShowMessageBox(nullptr, text, "Error", MB_TASKMODAL | MB_OK);
    return hr;
  }
  // The platform declares the path non-const; it is only read.
  hr = RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(path.c_str()), nullptr);
  if (FAILED(hr)) {
    Trace("\nT_RegisterTypeLibrary: RegisterTypeLib failed 0x%08x", static_cast<unsigned>(hr));
    char text[260];
    std::snprintf(text, sizeof(text), "Failed to register type library: %s", Narrow(path, CP_ACP).c_str());
    ui::ShowMessageBox(nullptr, text, "Error", MB_TASKMODAL | MB_OK);
  }
  return hr;
}

HRESULT UnregisterTypeLibrary() { return UnRegisterTypeLib(identity::kLibidOverlay, 1, 0, 0, SYS_WIN64); }

}  // namespace ovl::server

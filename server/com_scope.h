#pragma once
// COM for the length of a registration step: registration tools call the
// exports on threads that may not have initialised COM.
#include <objbase.h>

namespace ovl::server {

class ComScope {
 public:
  ComScope() : m_hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  // Only a successful initialisation (S_OK or S_FALSE) is balanced; a thread
  // already in another apartment (RPC_E_CHANGED_MODE) keeps its COM as it is.
  ~ComScope() {
    if (SUCCEEDED(m_hr)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT m_hr;
};

}  // namespace ovl::server

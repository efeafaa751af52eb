#pragma once
// What DllRegisterServer and DllUnregisterServer do, step by step.
#include <windows.h>

namespace ovl::server {

HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace ovl::server

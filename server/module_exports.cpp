// The four exports of the in-process COM server.
#include <windows.h>

#include <new>

#include "server/class_table.h"
#include "streaming/base/module_state.h"
#include "server/registration.h"
#include "diag/trace.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  using ovl::server::kClassTable;
  if (reason == DLL_PROCESS_ATTACH) {
    ovl::module::SetInstance(instance);
    DisableThreadLibraryCalls(instance);
    for (const CFactoryTemplate& entry : kClassTable) {
      if (entry.m_lpfnInit != nullptr) entry.m_lpfnInit(TRUE, entry.m_ClsID);
    }
  } else if (reason == DLL_PROCESS_DETACH) {
    for (const CFactoryTemplate& entry : kClassTable) {
      if (entry.m_lpfnInit != nullptr) entry.m_lpfnInit(FALSE, entry.m_ClsID);
    }
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  const CFactoryTemplate* entry = ovl::server::FindClass(clsid);
  if (entry == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  // One factory per call; it counts as a live object until its last Release.
  auto* factory = new (std::nothrow) CClassFactory(entry);
  if (factory == nullptr) return E_OUTOFMEMORY;
  factory->AddRef();
  *object = static_cast<IClassFactory*>(factory);
  return S_OK;
}

STDAPI DllCanUnloadNow() {
  if (!ovl::module::CanUnload()) return S_FALSE;
  ovl::diag::CloseTraceLog();
  return S_OK;
}

STDAPI DllRegisterServer() { return ovl::server::RegisterServer(); }

STDAPI DllUnregisterServer() { return ovl::server::UnregisterServer(); }

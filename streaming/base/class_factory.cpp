#include "streaming/base/class_factory.h"

#include "streaming/base/module_state.h"

CClassFactory::CClassFactory(const CFactoryTemplate* entry)
    : CBaseObject(TEXT("Class factory")), m_cRef(0), m_pTemplate(entry) {}

CClassFactory::~CClassFactory() = default;

HRESULT STDMETHODCALLTYPE CClassFactory::QueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CClassFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

ULONG STDMETHODCALLTYPE CClassFactory::Release() {
  const LONG count = InterlockedDecrement(&m_cRef);
  if (count == 0) {
    delete this;
    return 0;
  }
  return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(LPUNKNOWN outer, REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  *ppv = nullptr;
  // COM aggregation hands the outer object our non-delegating IUnknown and
  // nothing else.
  if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;

  HRESULT hr = S_OK;
  CUnknown* object = m_pTemplate->CreateInstance(outer, &hr);
  if (object == nullptr) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete object;
    return hr;
  }
  // Hold the object while querying, so that a refused interface destroys it.
  object->NonDelegatingAddRef();
  hr = object->NonDelegatingQueryInterface(riid, ppv);
  object->NonDelegatingRelease();
  return hr;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL lock) {
  ovl::module::LockServer(lock != FALSE);
  return S_OK;
}

#include "streaming/base/unknown.h"

namespace {
IUnknown* AsUnknown(INonDelegatingUnknown* self) {
  // The non-delegating vtable has IUnknown's layout (see unknown.h).
  return reinterpret_cast<IUnknown*>(self);
}
}  // namespace

CUnknown::CUnknown(const TCHAR* name, LPUNKNOWN outer)
    : CBaseObject(name),
      m_cRef(0),
      m_pUnknown(outer != nullptr ? outer : AsUnknown(static_cast<INonDelegatingUnknown*>(this))) {}

CUnknown::CUnknown(const TCHAR* name, LPUNKNOWN outer, HRESULT* /*phr*/) : CUnknown(name, outer) {}

CUnknown::~CUnknown() = default;

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IUnknown)) {
    return GetInterface(AsUnknown(static_cast<INonDelegatingUnknown*>(this)), ppv);
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease() {
  const LONG count = InterlockedDecrement(&m_cRef);
  if (count == 0) {
    // A destructor that hands itself out and releases it again (releasing an
    // aggregated inner object, for one) must not reach zero a second time.
    m_cRef = 1;
    delete this;
    return 0;
  }
  return static_cast<ULONG>(count);
}

HRESULT WINAPI GetInterface(LPUNKNOWN unknown, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  *ppv = unknown;
  unknown->AddRef();
  return S_OK;
}

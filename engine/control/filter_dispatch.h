#pragma once
// A type-library driven IDispatch over one dual interface of a filter. The
// type information comes from the type library embedded in the module's own
// file (resource 1 TYPELIB); it is loaded on first use and kept. IUnknown
// stays pure: the object that mixes this in implements it.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include "persistence/core/com_ptr.h"

namespace ovl::control {

// The type information of `iid` from the type library in the file of the
// module that holds this code (the test program's own file when the module
// handle was never set, as in test programs that embed the library).
HRESULT LoadModuleTypeInfo(REFGUID iid, ITypeInfo** info);

}  // namespace ovl::control

template <class T, const IID* piid>
class CFilterDispatchImpl : public T {
 public:
  CFilterDispatchImpl() = default;
  virtual ~CFilterDispatchImpl() {
    if (m_pTypeInfo != nullptr) m_pTypeInfo->Release();
  }
  CFilterDispatchImpl(const CFilterDispatchImpl&) = delete;
  CFilterDispatchImpl& operator=(const CFilterDispatchImpl&) = delete;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
    if (pctinfo == nullptr) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID /*lcid*/, ITypeInfo** ppTInfo) override {
    if (ppTInfo == nullptr) return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0) return TYPE_E_ELEMENTNOTFOUND;
    ITypeInfo* info = nullptr;
    const HRESULT hr = TypeInfo(&info);
    if (FAILED(hr)) return hr;
    info->AddRef();
    *ppTInfo = info;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID /*riid*/, LPOLESTR* rgszNames, UINT cNames, LCID /*lcid*/,
                                          DISPID* rgDispId) override {
    ITypeInfo* info = nullptr;
    const HRESULT hr = TypeInfo(&info);
    if (FAILED(hr)) return hr;
    return info->GetIDsOfNames(rgszNames, cNames, rgDispId);
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID /*lcid*/, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    const HRESULT hr = TypeInfo(&info);
    if (FAILED(hr)) return hr;
    return info->Invoke(static_cast<T*>(this), dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo,
                        puArgErr);
  }

 private:
  // The cached type information (no reference added for the caller).
  // Threads that race on first use each load it; one copy is kept.
  HRESULT TypeInfo(ITypeInfo** info) {
    ITypeInfo* cached = static_cast<ITypeInfo*>(InterlockedCompareExchangePointer(
        reinterpret_cast<void* volatile*>(&m_pTypeInfo), nullptr, nullptr));
    if (cached == nullptr) {
      ovl::ComPtr<ITypeInfo> loaded;
      const HRESULT hr = ovl::control::LoadModuleTypeInfo(*piid, loaded.Put());
      if (FAILED(hr)) return hr;
      cached = static_cast<ITypeInfo*>(InterlockedCompareExchangePointer(
          reinterpret_cast<void* volatile*>(&m_pTypeInfo), loaded.Get(), nullptr));
      // The winner's reference moves into the member; a loser's copy goes.
      if (cached == nullptr) cached = loaded.Detach();
    }
    *info = cached;
    return S_OK;
  }

  // Raw: it is published with a compare-exchange, which needs a plain
  // pointer; the destructor releases the one reference it holds.
  ITypeInfo* volatile m_pTypeInfo = nullptr;
};

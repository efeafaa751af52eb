#pragma once
// What the pin and media type enumerators share: a position over the items
// of an owner (a filter's pins, a pin's types) and the owner's version when
// the enumerator was made or last Reset. Once the version changes, every call
// but Reset reports VFW_E_ENUM_OUT_OF_SYNC.
//
// `Derived` supplies `static LONG VersionOf(Owner*)`, `HRESULT ItemAt(int
// position, Item* item)` (S_OK with a reference or copy for the caller,
// S_FALSE past the last item, or a failure) and `bool HasItem(int position)`.
#include <new>

#include "persistence/core/com_ptr.h"
#include "streaming/base/dshow_platform.h"
#include "streaming/base/unknown.h"

template <class Derived, class Interface, class Item, class Owner>
class CEnumerator : public CUnknown, public Interface {
 public:
  // Holds a reference on the owner; copies position and version of `toCopy`
  // when given (Clone).
  CEnumerator(const TCHAR* name, REFIID iid, Owner* owner, const Derived* toCopy)
      : CUnknown(name, nullptr),
        m_iid(iid),
        m_pOwner(ovl::ComPtr<Owner>::Share(owner)),
        m_Position(toCopy != nullptr ? toCopy->m_Position : 0),
        m_Version(toCopy != nullptr ? toCopy->m_Version : Derived::VersionOf(owner)) {}

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, m_iid)) return GetInterface(static_cast<Interface*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* items, ULONG* fetched) override {
    CheckPointer(items, E_POINTER);
    if (fetched == nullptr && count != 1) return E_POINTER;  // only a single item may go uncounted
    if (fetched != nullptr) *fetched = 0;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG got = 0;
    HRESULT hr = S_OK;
    while (got < count && (hr = Self()->ItemAt(m_Position, &items[got])) == S_OK) {
      ++m_Position;
      ++got;
    }
    if (fetched != nullptr) *fetched = got;
    if (FAILED(hr) && got == 0) return hr;
    return got == count ? S_OK : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    for (ULONG i = 0; i < count; ++i, ++m_Position) {
      if (!Self()->HasItem(m_Position)) return S_FALSE;
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    m_Version = Derived::VersionOf(m_pOwner.Get());
    m_Position = 0;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(Interface** ppEnum) override {
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = nullptr;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    auto* copy = new (std::nothrow) Derived(m_pOwner.Get(), Self());
    if (copy == nullptr) return E_OUTOFMEMORY;
    return copy->NonDelegatingQueryInterface(m_iid, reinterpret_cast<void**>(ppEnum));
  }

 protected:
  bool OutOfSync() const { return m_Version != Derived::VersionOf(m_pOwner.Get()); }
  Derived* Self() { return static_cast<Derived*>(this); }

  const IID m_iid;
  const ovl::ComPtr<Owner> m_pOwner;
  int m_Position;
  LONG m_Version;
};

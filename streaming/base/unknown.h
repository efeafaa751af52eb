#pragma once
// COM identity for framework objects: a non-delegating IUnknown that owns the
// reference count, and a delegating IUnknown (DECLARE_IUNKNOWN) that forwards
// to the owner, which is the outer object when aggregated and the object
// itself otherwise.
#include <windows.h>
#include <unknwn.h>

#include "streaming/base/base_object.h"

// Same slot layout as IUnknown, so a pointer to it can be handed out as the
// inner object's IUnknown when aggregated.
struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
 public:
  CUnknown(const TCHAR* name, LPUNKNOWN outer);
  CUnknown(const TCHAR* name, LPUNKNOWN outer, HRESULT* phr);
  virtual ~CUnknown();
  CUnknown(const CUnknown&) = delete;
  CUnknown& operator=(const CUnknown&) = delete;

  // The IUnknown every delegating call goes to.
  LPUNKNOWN GetOwner() const { return m_pUnknown; }

  // Answers IID_IUnknown with the non-delegating unknown; derived classes add
  // their interfaces and fall back to this.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

 protected:
  volatile LONG m_cRef;

 private:
  IUnknown* const m_pUnknown;
};

// Hands out an interface pointer with a reference added through the
// interface itself (and so through the owner for delegating interfaces).
HRESULT WINAPI GetInterface(LPUNKNOWN unknown, void** ppv);

#define DECLARE_IUNKNOWN                                                                    \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {              \
    return GetOwner()->QueryInterface(riid, ppv);                                           \
  }                                                                                         \
  ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }                \
  ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }

#define CheckPointer(p, ret) \
  do {                       \
    if ((p) == nullptr) return (ret); \
  } while (0)

#pragma once
// The class factory handed out by DllGetClassObject, one per call, bound to
// one entry of the module's class table.
#include "streaming/base/base_filter.h"
#include "streaming/base/unknown.h"

// Creates an object (aggregated when `outer` is given); a constructor may
// store a failure in *phr, in which case the factory destroys the object.
typedef CUnknown*(CALLBACK* LPFNNewCOMObject)(LPUNKNOWN outer, HRESULT* phr);
// Called with TRUE when the module loads and FALSE when it unloads.
typedef void(CALLBACK* LPFNInitRoutine)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate {
  const WCHAR* m_Name;
  const CLSID* m_ClsID;
  LPFNNewCOMObject m_lpfnNew;
  LPFNInitRoutine m_lpfnInit;
  const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

  BOOL IsClassID(REFCLSID clsid) const { return IsEqualCLSID(*m_ClsID, clsid); }
  CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* phr) const { return m_lpfnNew(outer, phr); }
};

class CClassFactory : public IClassFactory, public CBaseObject {
 public:
  explicit CClassFactory(const CFactoryTemplate* entry);
  virtual ~CClassFactory();

  // IUnknown: the factory is not aggregatable; it starts with no reference.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IClassFactory. Aggregation is offered through IID_IUnknown only
  // (E_NOINTERFACE otherwise). The object is queried through its
  // non-delegating unknown, so a failed query destroys it.
  HRESULT STDMETHODCALLTYPE CreateInstance(LPUNKNOWN outer, REFIID riid, void** ppv) override;
  // Counts in the module's server lock count; always S_OK.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  volatile LONG m_cRef;
  const CFactoryTemplate* m_pTemplate;
};

#pragma once
// The filter base: IBaseFilter/IMediaFilter state handling over the pins a
// derived filter supplies through GetPinCount/GetPin, graph membership and
// event notification, and IAMovieSetup registration from GetSetupData.
#include "persistence/core/com_ptr.h"
#include "streaming/base/critical_section.h"
#include "streaming/base/dshow_platform.h"
#include "streaming/base/unknown.h"

class CBasePin;

// Registration data of a filter (what the filter mapper receives).
typedef REGPINTYPES AMOVIESETUP_MEDIATYPE;
typedef REGFILTERPINS AMOVIESETUP_PIN;
struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  const WCHAR* strName;
  DWORD dwMerit;
  UINT nPins;
  const AMOVIESETUP_PIN* lpPin;
};

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
 public:
  // `lock` is the state lock; it must outlive the filter (derived filters
  // usually pass one of their own members).
  CBaseFilter(const TCHAR* name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid);
  CBaseFilter(const TCHAR* name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid, HRESULT* phr);
  ~CBaseFilter() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;

  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD milliseconds, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** ppPin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* vendorInfo) override;

  // IAMovieSetup
  HRESULT STDMETHODCALLTYPE Register() override;
  HRESULT STDMETHODCALLTYPE Unregister() override;

  // The pins, numbered from 0; a null pin ends every walk over them. The
  // returned pointer carries no reference.
  virtual int GetPinCount() = 0;
  virtual CBasePin* GetPin(int n) = 0;

  // Pin enumerators compare this number to notice a changed set of pins.
  virtual LONG GetPinVersion();
  void IncrementPinVersion();

  // Current stream time: the reference clock's time minus the start time.
  virtual HRESULT StreamTime(REFERENCE_TIME& streamTime);

  // Sends an event to the graph's event sink (E_NOTIMPL outside a graph).
  HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

  // Registration data for IAMovieSetup; none by default.
  virtual const AMOVIESETUP_FILTER* GetSetupData() { return nullptr; }

  BOOL IsActive();
  BOOL IsStopped();
  FILTER_STATE State() const { return m_State; }
  IFilterGraph* GetFilterGraph() { return m_pGraph; }
  const WCHAR* FilterName() const { return m_pName; }

 protected:
  FILTER_STATE m_State;
  ovl::ComPtr<IReferenceClock> m_pClock;
  REFERENCE_TIME m_tStart;
  CLSID m_clsid;
  CCritSec* m_pLock;           // the state lock
  WCHAR* m_pName;              // name given by the graph; owned
  // The graph owns the filter, so neither pointer holds a reference (that
  // would be a cycle the graph could never break).
  IFilterGraph* m_pGraph;
  IMediaEventSink* m_pSink;
  volatile LONG m_PinVersion;
};

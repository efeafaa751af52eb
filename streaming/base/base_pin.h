#pragma once
// The pin base: IPin connection logic (type agreement, the connection hooks in
// a fixed order), identity and information, and IQualityControl. Pins live
// as long as their filter: their reference count is the filter's.
#include "persistence/core/com_ptr.h"
#include "streaming/base/base_filter.h"
#include "streaming/base/critical_section.h"
#include "streaming/base/dshow_platform.h"
#include "streaming/base/media_type.h"
#include "streaming/base/unknown.h"

class CBasePin : public CUnknown, public IPin, public IQualityControl {
 public:
  // `lock` is the pin lock (often the filter's lock); `name` is copied.
  CBasePin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name,
           PIN_DIRECTION direction);
  ~CBasePin() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  // BeginFlush and EndFlush stay pure: input and output pins differ.

  // IQualityControl
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;
  HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

  // Media type enumerators compare this number to notice a changed type list.
  virtual LONG GetMediaTypeVersion();
  void IncrementTypeVersion();

  // State changes of the owning filter, for connected pins only.
  virtual HRESULT Active();
  virtual HRESULT Inactive();
  virtual HRESULT Run(REFERENCE_TIME start);

  // Connection hooks, in the order a connection calls them: CheckConnect,
  // CheckMediaType, SetMediaType, CompleteConnect; BreakConnect undoes them.
  virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
  virtual HRESULT SetMediaType(const CMediaType* type);
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT BreakConnect();
  virtual HRESULT CompleteConnect(IPin* receivePin);
  // The pin's own types by position; VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT GetMediaType(int position, CMediaType* type);

  // A task-memory copy of `text` for QueryId.
  static HRESULT CopyId(const WCHAR* text, LPWSTR* id);

  BOOL IsConnected() const { return m_Connected ? TRUE : FALSE; }
  IPin* GetConnected() const { return m_Connected.Get(); }  // no reference added
  BOOL IsStopped() const { return m_pFilter->IsStopped(); }
  const WCHAR* Name() const { return m_pName; }
  const CMediaType& CurrentMediaType() const { return m_mt; }
  BOOL CanReconnectWhenActive() const { return m_bCanReconnectWhenActive; }
  void SetReconnectWhenActive(bool canReconnect) { m_bCanReconnectWhenActive = canReconnect; }
  REFERENCE_TIME CurrentStopTime() const { return m_tStop; }
  REFERENCE_TIME CurrentStartTime() const { return m_tStart; }
  double CurrentRate() const { return m_dRate; }

 protected:
  // Unhooks the connection (BreakConnect first; a failure keeps it).
  HRESULT DisconnectInternal();

  WCHAR* m_pName;
  ovl::ComPtr<IPin> m_Connected;
  PIN_DIRECTION m_dir;
  CCritSec* m_pLock;
  bool m_bRunTimeError;
  bool m_bCanReconnectWhenActive;
  bool m_bTryMyTypesFirst;
  CBaseFilter* m_pFilter;
  IQualityControl* m_pQSink;  // no reference, as the interface defines
  volatile LONG m_TypeVersion;
  CMediaType m_mt;
  REFERENCE_TIME m_tStart;
  REFERENCE_TIME m_tStop;
  double m_dRate;

 private:
  HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* type);
  // One connection attempt with one type; undoes itself when it fails.
  HRESULT AttemptConnection(IPin* receivePin, const CMediaType* type);
  // Tries each type of an enumerator that fits `partial`; S_OK on the first
  // success, else the failure worth reporting or VFW_E_NO_ACCEPTABLE_TYPES.
  HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types);
};

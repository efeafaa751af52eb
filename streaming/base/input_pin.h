#pragma once
// The input pin base: IMemInputPin (allocator handshake, the checks and
// property capture every Receive starts with, ReceiveMultiple,
// ReceiveCanBlock), flushing marks, and quality messages passed upstream.
#include "streaming/base/base_pin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
 public:
  CBaseInputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name);
  ~CBaseInputPin() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IMemInputPin
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  // The checks a derived Receive runs first: S_OK means go on; anything else
  // is the answer to give upstream. On S_OK SampleProps() describes `sample`.
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

  // IPin: set and clear the flushing mark (end-flush also clears the
  // run-time error mark). Derived pins pass the flush on themselves.
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;

  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT BreakConnect() override;

  // S_OK when a sample may be received now: connected, not flushing, the
  // filter not stopped, no run-time error.
  virtual HRESULT CheckStreaming();

  // Sends a quality message upstream: to the quality sink if one is set,
  // else to the connected output pin.
  HRESULT PassNotify(Quality& quality);

  BOOL IsFlushing() const { return m_bFlushing; }
  BOOL IsReadOnly() const { return m_bReadOnly; }
  IMemAllocator* Allocator() const { return m_pAllocator.Get(); }  // no reference added
  const AM_SAMPLE2_PROPERTIES* SampleProps() const { return &m_SampleProps; }

 protected:
  ovl::ComPtr<IMemAllocator> m_pAllocator;
  BOOL m_bReadOnly;
  BOOL m_bFlushing;
  AM_SAMPLE2_PROPERTIES m_SampleProps;

 private:
  HRESULT CaptureSampleProperties(IMediaSample* sample);
  // The media type of a sample read field by field is our copy; one taken
  // through IMediaSample2 belongs to the sample.
  AM_MEDIA_TYPE* m_pOwnedSampleType;
};

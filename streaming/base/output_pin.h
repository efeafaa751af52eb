#pragma once
// The output pin base: allocator negotiation with the downstream input pin on
// connection, committing it while active, and delivery of samples and stream
// events downstream.
#include "streaming/base/base_pin.h"

class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name);
  ~CBaseOutputPin() override;

  // Negotiates the allocator (DecideAllocator).
  HRESULT CompleteConnect(IPin* receivePin) override;
  // The downstream pin must speak IMemInputPin.
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  // Allocator choice: the downstream pin's allocator first, then one of our
  // own (InitAllocator); each sized by DecideBufferSize and handed back with
  // NotifyAllocator. Returns the last failure if neither works.
  virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
  // Sets the allocator's properties from the downstream request.
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT InitAllocator(IMemAllocator** allocator);

  virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                    DWORD flags);
  virtual HRESULT Deliver(IMediaSample* sample);
  virtual HRESULT DeliverEndOfStream();
  virtual HRESULT DeliverBeginFlush();
  virtual HRESULT DeliverEndFlush();
  virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  // Output pins receive no stream events.
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;

  IMemAllocator* Allocator() const { return m_pAllocator.Get(); }  // no reference added

 protected:
  ovl::ComPtr<IMemAllocator> m_pAllocator;
  ovl::ComPtr<IMemInputPin> m_pInputPin;  // the connected pin's IMemInputPin
};

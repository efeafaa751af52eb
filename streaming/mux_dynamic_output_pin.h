#pragma once
// The output pin of the multiple-input frame: types and buffer sizes come
// from the filter, checked against every connected input; deliveries are
// bracketed by StartUsingOutputPin / StopUsingOutputPin.
#include "streaming/base/base_classes.h"

class CMultipleInputPinTransformFilter;

class CMuxDynamicOutputPin : public CDynamicOutputPin {
 public:
  CMuxDynamicOutputPin(const TCHAR* objectName, CMultipleInputPinTransformFilter* filter, HRESULT* phr,
                       LPCWSTR name);
  ~CMuxDynamicOutputPin() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

  // Seeking support for one input is dropped when that input (re)connects.
  virtual void ReleasePassThrough(int inputIndex) { (void)inputIndex; }

  // Runs `deliver` between StartUsingOutputPin and StopUsingOutputPin.
  template <class F>
  HRESULT Using(F&& deliver) {
    HRESULT hr = StartUsingOutputPin();
    if (FAILED(hr)) return hr;
    hr = deliver();
    StopUsingOutputPin();
    return hr;
  }

 protected:
  CMultipleInputPinTransformFilter* m_pFilter;
};

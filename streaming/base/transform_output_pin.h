#pragma once
// The transform filter's output pin: types come from the filter (and need a
// connected input), quality messages go to the filter and then upstream, and
// seeking is passed upstream through the platform's seeking pass-through.
#include "streaming/base/output_pin.h"

class CTransformFilter;

class CTransformOutputPin : public CBaseOutputPin {
 public:
  CTransformOutputPin(const TCHAR* objectName, CTransformFilter* filter, HRESULT* phr, LPCWSTR name);
  ~CTransformOutputPin() override;

  // IMediaSeeking and IMediaPosition come from the seeking pass-through.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  // E_INVALIDARG until the input is connected; then the filter's CheckTransform.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

 protected:
  CTransformFilter* m_pTransformFilter;
  ovl::ComPtr<IUnknown> m_pPosition;  // the aggregated seeking pass-through; made on first query
};

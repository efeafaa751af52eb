#include "streaming/base/transform_output_pin.h"

#include <utility>

#include "streaming/base/transform_filter.h"

CTransformOutputPin::CTransformOutputPin(const TCHAR* objectName, CTransformFilter* filter, HRESULT* phr,
                                         LPCWSTR name)
    : CBaseOutputPin(objectName, filter, filter->pStateLock(), phr, name),
      m_pTransformFilter(filter) {}

CTransformOutputPin::~CTransformOutputPin() = default;

HRESULT STDMETHODCALLTYPE CTransformOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IMediaPosition) || IsEqualIID(riid, IID_IMediaSeeking)) {
    *ppv = nullptr;
    CAutoLock lock(m_pLock);
    if (!m_pPosition) {
      // Aggregated: its interfaces count references on this pin (the filter).
      ovl::ComPtr<IUnknown> inner;
      HRESULT hr = CoCreateInstance(CLSID_SeekingPassThru, GetOwner(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    inner.PutVoid());
      if (FAILED(hr)) return hr;
      {
        ovl::ComPtr<ISeekingPassThru> passThru;
        hr = inner->QueryInterface(IID_ISeekingPassThru, passThru.PutVoid());
        if (SUCCEEDED(hr)) hr = passThru->Init(FALSE, static_cast<IPin*>(m_pTransformFilter->m_pInput));
      }
      if (FAILED(hr)) return hr;
      m_pPosition = std::move(inner);
    }
    return m_pPosition->QueryInterface(riid, ppv);
  }
  return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTransformOutputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pin);
  if (FAILED(hr)) return hr;
  return CBaseOutputPin::CheckConnect(pin);
}

HRESULT CTransformOutputPin::BreakConnect() {
  m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
  return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, receivePin);
  if (FAILED(hr)) return hr;
  return CBaseOutputPin::CompleteConnect(receivePin);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* type) {
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (input == nullptr || !input->IsConnected()) return E_INVALIDARG;
  return m_pTransformFilter->CheckTransform(&input->CurrentMediaType(), type);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* type) {
  HRESULT hr = CBaseOutputPin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT CTransformOutputPin::GetMediaType(int position, CMediaType* type) {
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (input == nullptr || !input->IsConnected()) return VFW_S_NO_MORE_ITEMS;
  return m_pTransformFilter->GetMediaType(position, type);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  return m_pTransformFilter->DecideBufferSize(allocator, request);
}

HRESULT STDMETHODCALLTYPE CTransformOutputPin::Notify(IBaseFilter* sender, Quality quality) {
  CheckPointer(sender, E_POINTER);
  const HRESULT hr = m_pTransformFilter->AlterQuality(quality);
  if (hr != S_FALSE) return hr;  // handled here
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (input == nullptr) return VFW_E_NOT_FOUND;
  return input->PassNotify(quality);
}

// One output frame from one main-input sample.
#include "engine/filter/overlay_filter.h"
#include "streaming/overlay_input_pin.h"

HRESULT CVOvrLyFilter::Transform(int pinIndex, IMediaSample* in, IMediaSample* out) {
  CAutoLock lock(&m_csFilterLock);
  BYTE* inBits = nullptr;
  BYTE* outBits = nullptr;
  if (FAILED(in->GetPointer(&inBits)) || FAILED(out->GetPointer(&outBits))) return E_FAIL;
  if (pinIndex != 0) return E_UNEXPECTED;

  // The second input's sample, when its thread is parked holding one.
  IMediaSample* held = nullptr;
  COverlayInputPin* second = OverlayPin(1);
  if (second != nullptr && second->IsConnected()) held = second->AcquireHeldSample();
  BYTE* heldBits = nullptr;
  if (held != nullptr && FAILED(held->GetPointer(&heldBits))) heldBits = nullptr;

  // Buffers are read and written only within their allocated size.
  const ovl::HResult hr = m_compositor.ComposeFrame(
      m_settings, inBits, static_cast<std::size_t>(in->GetSize()), heldBits,
      held != nullptr ? static_cast<std::size_t>(held->GetSize()) : 0, outBits,
      static_cast<std::size_t>(out->GetSize()));
  if (held != nullptr) held->Release();
  if (hr != ovl::kOk) return E_FAIL;
  return CopySampleProperties(in, out);
}

HRESULT CVOvrLyFilter::CopySampleProperties(IMediaSample* in, IMediaSample* out) {
  REFERENCE_TIME start = 0, stop = 0;
  if (in->GetTime(&start, &stop) == S_OK) out->SetTime(&start, &stop);
  if (in->GetMediaTime(&start, &stop) == S_OK) out->SetMediaTime(&start, &stop);

  HRESULT hr = in->IsSyncPoint();
  if (hr != S_OK && hr != S_FALSE) return E_UNEXPECTED;
  out->SetSyncPoint(hr == S_OK);

  AM_MEDIA_TYPE* type = nullptr;
  in->GetMediaType(&type);
  out->SetMediaType(type);
  if (type != nullptr) DeleteMediaType(type);

  hr = in->IsPreroll();
  if (hr != S_OK && hr != S_FALSE) return E_UNEXPECTED;
  out->SetPreroll(hr == S_OK);

  hr = in->IsDiscontinuity();
  if (hr != S_OK && hr != S_FALSE) return E_UNEXPECTED;
  out->SetDiscontinuity(hr == S_OK);
  return S_OK;
}

// One output frame from one main-input sample and the second-input sample
// the inputs' pairing chose for it.
#include "engine/filter/overlay_filter.h"
#include "streaming/base/sample_properties.h"

HRESULT CVOvrLyFilter::Transform(int pinIndex, IMediaSample* in, IMediaSample* paired, IMediaSample* out) {
  CAutoLock lock(&m_csFilterLock);
  BYTE* inBits = nullptr;
  BYTE* outBits = nullptr;
  if (FAILED(in->GetPointer(&inBits)) || FAILED(out->GetPointer(&outBits))) return E_FAIL;
  if (pinIndex != 0) return E_UNEXPECTED;
  BYTE* pairedBits = nullptr;
  if (paired != nullptr && FAILED(paired->GetPointer(&pairedBits))) pairedBits = nullptr;

  // Buffers are read and written only within their allocated size.
  const ovl::HResult hr = m_compositor.ComposeFrame(
      m_settings, inBits, static_cast<std::size_t>(in->GetSize()), pairedBits,
      pairedBits != nullptr ? static_cast<std::size_t>(paired->GetSize()) : 0, outBits,
      static_cast<std::size_t>(out->GetSize()));
  if (hr != ovl::kOk) return E_FAIL;
  return ovl::CopySampleProperties(in, out);
}

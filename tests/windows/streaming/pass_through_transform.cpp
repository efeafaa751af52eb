#include "tests/windows/streaming/pass_through_transform.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ovl::testing {

CPassThroughTransform* CPassThroughTransform::Create() {
  auto* filter = new (std::nothrow) CPassThroughTransform();
  if (filter != nullptr) filter->NonDelegatingAddRef();
  return filter;
}

CPassThroughTransform::CPassThroughTransform()
    : CVideoTransformFilter(TEXT("Pass-through transform"), nullptr, CLSID_NULL) {}

HRESULT CPassThroughTransform::CheckInputType(const CMediaType* type) {
  if (!IsEqualGUID(*type->Type(), MEDIATYPE_Video) || !IsEqualGUID(*type->Subtype(), MEDIASUBTYPE_RGB24) ||
      !IsEqualGUID(*type->FormatType(), FORMAT_VideoInfo) || type->FormatLength() < sizeof(VIDEOINFOHEADER)) {
    return S_FALSE;
  }
  return S_OK;
}

HRESULT CPassThroughTransform::CheckTransform(const CMediaType* in, const CMediaType* out) {
  return *in == *out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPassThroughTransform::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  return type->Set(m_pInput->CurrentMediaType());
}

HRESULT CPassThroughTransform::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(m_pInput->CurrentMediaType().Format());
  request->cBuffers = std::max<long>(request->cBuffers, 1);
  request->cbBuffer = std::max<long>(request->cbBuffer, static_cast<long>(info->bmiHeader.biSizeImage));
  ALLOCATOR_PROPERTIES actual = {};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= static_cast<long>(info->bmiHeader.biSizeImage) ? S_OK : E_FAIL;
}

HRESULT CPassThroughTransform::Transform(IMediaSample* in, IMediaSample* out) {
  const int frame = m_frame++;
  if (transformSkips.count(frame) != 0) return S_FALSE;
  BYTE* source = nullptr;
  BYTE* target = nullptr;
  in->GetPointer(&source);
  out->GetPointer(&target);
  const long length = std::min(in->GetActualDataLength(), out->GetSize());
  std::memcpy(target, source, static_cast<size_t>(length));
  return out->SetActualDataLength(length);
}

bool CPassThroughTransform::ShouldSkipFrame(IMediaSample* /*sample*/) {
  if (qualitySkips.count(m_frame) == 0) return false;
  ++m_frame;
  return true;
}

HRESULT CPassThroughTransform::StartStreaming() {
  ++startStreamingCalls;
  m_frame = 0;
  return CVideoTransformFilter::StartStreaming();
}

HRESULT CPassThroughTransform::StopStreaming() {
  ++stopStreamingCalls;
  return CVideoTransformFilter::StopStreaming();
}

}  // namespace ovl::testing

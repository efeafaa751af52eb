// Which formats the pins accept and offer, buffer sizes, and what connecting
// and disconnecting a pin does to the composite size and the surfaces.
#include "engine/core/composite_size.h"
#include "engine/filter/overlay_filter.h"
#include "engine/filter/strip_workers_for_frame.h"
#include "persistence/core/com_ptr.h"
#include "engine/core/pixel_image.h"
#include "engine/filter/video_rows.h"
#include "streaming/mux_dynamic_output_pin.h"
#include "streaming/overlay_input_pin.h"

namespace {

// Frames beyond this (as 24-bit rows) are refused rather than allocated.
constexpr ULONGLONG kMaxFrameBytes = 512ull << 20;

const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE* type) {
  if (type == nullptr || type->pbFormat == nullptr || type->cbFormat < sizeof(VIDEOINFOHEADER)) return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
}

ovl::InputFrame FrameOf(const BITMAPINFOHEADER& header) {
  if (header.biSize == 0) return ovl::InputFrame{};
  return ovl::InputFrame{true, header.biWidth, VideoRowCount(header), header.biBitCount};
}

LONG FrameBytes(LONG width, LONG height) {
  return static_cast<LONG>(ovl::RgbStride(width) * static_cast<std::size_t>(height));
}

}  // namespace

HRESULT CVOvrLyFilter::CheckInputType(const CMediaType* type) {
  if (type == nullptr || type->formattype != FORMAT_VideoInfo) return E_INVALIDARG;
  const VIDEOINFOHEADER* vih = VideoInfo(type);
  if (vih == nullptr) return E_INVALIDARG;  // a VideoInfo type too short to hold its header
  if (type->majortype != MEDIATYPE_Video || type->subtype != MEDIASUBTYPE_RGB24 || vih->bmiHeader.biBitCount != 24) {
    return E_FAIL;
  }
  // Rows either way up (a negative height: top row first); the compositor
  // reads a top-down picture's rows in reverse, the output stays bottom-up.
  const BITMAPINFOHEADER& bih = vih->bmiHeader;
  if (bih.biWidth <= 0 || bih.biHeight == 0 || bih.biHeight == LONG_MIN || bih.biCompression != BI_RGB) return E_FAIL;
  if (ovl::RgbStride(bih.biWidth) * static_cast<ULONGLONG>(VideoRowCount(bih)) > kMaxFrameBytes) return E_FAIL;
  if (bih.biWidth > ovl::kMaxFrameSide || VideoRowCount(bih) > ovl::kMaxFrameSide) return E_FAIL;
  return S_OK;
}

HRESULT CVOvrLyFilter::CheckTransform(const CMediaType* in, const CMediaType* out) {
  const HRESULT hr = CheckInputType(in);
  if (FAILED(hr)) return hr;
  if (out == nullptr || out->formattype != FORMAT_VideoInfo) return E_INVALIDARG;
  if (m_settings.CompositeBitCount == 24 && out->subtype != MEDIASUBTYPE_RGB24) return E_FAIL;
  if (m_settings.CompositeBitCount == 8 && out->subtype != MEDIASUBTYPE_RGB8) return E_FAIL;
  const VIDEOINFOHEADER* outInfo = VideoInfo(out);
  if (VideoInfo(in) == nullptr || outInfo == nullptr) return E_INVALIDARG;
  if (outInfo->bmiHeader.biWidth != static_cast<LONG>(m_settings.CompositeWidth) ||
      outInfo->bmiHeader.biHeight != static_cast<LONG>(m_settings.CompositeHeight)) {
    return E_INVALIDARG;
  }
  CMuxDynamicOutputPin* output = OutputPin();
  if (output != nullptr && output->IsConnected()) {
    CMediaType copy(*in);
    if (FAILED(output->GetConnected()->QueryAccept(&copy))) return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT CVOvrLyFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (!IsInputPinConnected(0)) return E_UNEXPECTED;
  request->cBuffers = 1;
  request->cbBuffer = FrameBytes(static_cast<LONG>(m_settings.CompositeWidth), static_cast<LONG>(m_settings.CompositeHeight));
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  if (actual.cBuffers < 1 || actual.cbBuffer < request->cbBuffer) return E_FAIL;
  return S_OK;
}

HRESULT CVOvrLyFilter::GetMediaType(int position, CMediaType* type) {
  CAutoLock lock(&m_csFilterLock);
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  CMuxTransformInputPin* first = InputPin(0);
  if (first == nullptr || !first->IsConnected() || VideoInfo(&first->CurrentMediaType()) == nullptr) {
    return VFW_S_NO_MORE_ITEMS;
  }
  *type = first->CurrentMediaType();
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
  const LONG width = static_cast<LONG>(m_settings.CompositeWidth);
  const LONG height = static_cast<LONG>(m_settings.CompositeHeight);
  SetRect(&vih->rcSource, 0, 0, width, height);
  SetRect(&vih->rcTarget, 0, 0, width, height);
  vih->bmiHeader.biWidth = width;
  vih->bmiHeader.biHeight = height;
  vih->bmiHeader.biSizeImage = static_cast<DWORD>(FrameBytes(width, height));
  type->lSampleSize = vih->bmiHeader.biSizeImage;
  return S_OK;
}

HRESULT CVOvrLyFilter::BuildSurfaces() {
  ovl::VideoFormat video1, video2;
  if (m_settings.CompositeBitCount != 0) {
    auto format = [](const BITMAPINFOHEADER& h) {
      return h.biSize == 0 ? ovl::VideoFormat{} : ovl::VideoFormat{h.biWidth, VideoRowCount(h), true, VideoRowsTopDown(h)};
    };
    video1 = format(m_video1Header);
    video2 = format(m_video2Header);
  }
  const auto width = static_cast<std::int32_t>(m_settings.CompositeWidth);
  const auto height = static_cast<std::int32_t>(m_settings.CompositeHeight);
  // The strip workers are chosen once per connection, with the frame size.
  if (m_compositor.SetWorkers(m_fixedStripWorkers > 0 ? m_fixedStripWorkers
                                                      : ovl::StripWorkersForFrame(width, height)) != ovl::kOk) {
    return E_FAIL;
  }
  const ovl::HResult hr = m_compositor.BuildSurfaces(width, height, m_settings.BkLayerColor, video1, video2);
  if (hr == ovl::kOk && m_fixedStripRows > 0) m_compositor.SetStripRows(m_fixedStripRows);
  return hr == ovl::kOk && m_compositor.HasOutputSurface() ? S_OK : E_FAIL;
}

HRESULT CVOvrLyFilter::CompleteConnect(PIN_DIRECTION direction, int pinIndex, IPin* /*receivePin*/) {
  if (direction == PINDIR_OUTPUT) {
    if (!IsInputPinConnected(0)) return VFW_E_CANNOT_CONNECT;
    {
      CAutoLock lock(&m_csFilterLock);
      if (FAILED(BuildSurfaces())) return E_FAIL;
      if (ovl::LayerSettings* background = m_settings.Layers.FindLayer(ovl::LAYERTYPE_BACKGROUND)) {
        background->ResetRegionToSource(static_cast<std::int32_t>(m_settings.CompositeWidth),
                                        static_cast<std::int32_t>(m_settings.CompositeHeight));
      }
    }
    GrowInputPins();
    return S_OK;
  }
  COverlayInputPin* pin = OverlayPin(pinIndex);
  const VIDEOINFOHEADER* vih = pin != nullptr ? VideoInfo(&pin->CurrentMediaType()) : nullptr;
  if (vih == nullptr) return VFW_E_CANNOT_CONNECT;
  const BITMAPINFOHEADER& bih = vih->bmiHeader;
  bool reconnect = false;
  {
    CAutoLock lock(&m_csFilterLock);
    ovl::GrowCompositeForInput(m_settings, FrameOf(bih));
    if (pinIndex == 1) m_pairing.SetSecondFrameDuration(vih->AvgTimePerFrame);
    const std::uint32_t layer = pinIndex == 0 ? ovl::LAYERTYPE_VIDEO1 : ovl::LAYERTYPE_VIDEO2;
    (pinIndex == 0 ? m_video1Header : m_video2Header) = bih;
    if (ovl::LayerSettings* record = m_settings.Layers.FindLayer(layer)) {
      record->ResetRegionToSource(bih.biWidth, VideoRowCount(bih));
    }
    reconnect = pinIndex == 1 && OutputPin() != nullptr && OutputPin()->IsConnected();
  }
  if (reconnect) ReconnectGraph();
  GrowInputPins();
  return S_OK;
}

HRESULT CVOvrLyFilter::BreakConnect(PIN_DIRECTION direction, int pinIndex) {
  if (direction == PINDIR_OUTPUT) return S_OK;
  CMuxDynamicOutputPin* output = OutputPin();
  const bool outputConnected = output != nullptr && output->IsConnected();
  if (pinIndex == 0) {
    {
      CAutoLock lock(&m_csFilterLock);
      m_video1Header = BITMAPINFOHEADER{};
      ovl::FollowRemainingInput(m_settings, FrameOf(m_video2Header));
    }
    if (outputConnected) {
      // Without the main input there are no frames: the output goes too.
      // Our own reference keeps the peer alive while it lets go of us.
      const auto peer = ovl::ComPtr<IPin>::Share(output->GetConnected());
      if (peer) peer->Disconnect();
      output->Disconnect();
    }
  } else if (pinIndex == 1) {
    {
      CAutoLock lock(&m_csFilterLock);
      m_video2Header = BITMAPINFOHEADER{};
      ovl::FollowRemainingInput(m_settings, FrameOf(m_video1Header));
    }
    if (outputConnected) ReconnectGraph();
  }
  return S_OK;
}

#include "engine/frame_compositor.h"

#include <cstring>

#include "engine/layer_pass.h"

namespace ovl {

HResult FrameCompositor::BuildSurfaces(std::int32_t width, std::int32_t height,
                                       std::uint32_t bkColor, VideoFormat video1,
                                       VideoFormat video2) {
  ReleaseSurfaces();
  if (width <= 0 || height <= 0) return kInvalidArg;
  if (!composite_.Resize(width, height) || !background_.Resize(width, height) ||
      (video2.present && !video2_.Resize(video2.width, video2.height))) {
    ReleaseSurfaces();
    return kOutOfMemory;
  }
  background_.Fill(bkColor);
  video1Format_ = video1;
  return kOk;
}

void FrameCompositor::ReleaseSurfaces() {
  composite_.Release();
  background_.Release();
  video2_.Release();
  video1Format_ = VideoFormat{};
}

void FrameCompositor::FillBackground(std::uint32_t colorref) { background_.Fill(colorref); }

void FrameCompositor::DrawPosition(const OverlaySettings& settings, int position,
                                   ConstRgbView video1) {
  const LayerSettings& layer = settings.Layers[position];
  ConstRgbView picture;
  switch (layer.LayerType) {
    case LAYERTYPE_BACKGROUND: picture = background_.View(); break;
    case LAYERTYPE_VIDEO1: picture = video1; break;
    case LAYERTYPE_VIDEO2: picture = video2_.View(); break;
    case LAYERTYPE_OVERLAYIMAGE: picture = settings.OverlayImage.RgbPixels(); break;
    default: return;
  }
  DrawLayerPass(composite_.View(), picture, layer, *kernels_);
}

HResult FrameCompositor::ComposeFrame(const OverlaySettings& settings, const std::uint8_t* video1,
                                      std::size_t video1Bytes, const std::uint8_t* heldVideo2,
                                      std::size_t video2Bytes, std::uint8_t* output,
                                      std::size_t outputBytes) {
  if (composite_.Empty() || !video1Format_.present || video1 == nullptr) return kFail;
  const ConstRgbView video1View(video1, video1Format_.width, video1Format_.height);
  if (video1Bytes < video1View.stride * static_cast<std::size_t>(video1View.height)) return kFail;

  if (heldVideo2 != nullptr) {
    if (video2_.Empty() || video2Bytes < video2_.SizeBytes()) return kFail;
    composite_.Fill(0);
    std::memcpy(video2_.Data(), heldVideo2, video2_.SizeBytes());
  }

  for (int position = 0; position < kLayerCount; ++position) {
    DrawPosition(settings, position, video1View);
  }

  if (output == nullptr || outputBytes < composite_.SizeBytes()) return kFail;
  std::memcpy(output, composite_.Data(), composite_.SizeBytes());
  return kOk;
}

}  // namespace ovl

#include "engine/core/frame_compositor.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "engine/core/blend_arithmetic.h"
#include "engine/core/layer_pass.h"

namespace ovl {
namespace {

// Bytes of composite per strip: the strip buffer stays in the per-core L2
// cache (1 MB here) with room for the layer rows streaming through.
constexpr std::size_t kStripBytes = 96 * 1024;

// Copies with non-temporal stores: the composite, the output sample and the
// second picture's surface are written once per frame and not read back by
// it, so they bypass the cache instead of first reading every destination
// line into it and then evicting what the strips still need.
void StreamCopy(std::uint8_t* dst, const std::uint8_t* src, std::size_t bytes) {
#if defined(__SSE2__) || defined(_M_X64)
  const std::size_t head = (16 - (reinterpret_cast<std::uintptr_t>(dst) & 15)) & 15;
  if (bytes < head + 64) {
    std::memcpy(dst, src, bytes);
    return;
  }
  std::memcpy(dst, src, head);
  std::size_t i = head;
  for (; i + 64 <= bytes; i += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 48));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), a);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 16), b);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 32), c);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 48), d);
  }
  std::memcpy(dst + i, src + i, bytes - i);
#else
  std::memcpy(dst, src, bytes);
#endif
}

// Makes the non-temporal stores visible before the frame is handed on.
void StreamFence() {
#if defined(__SSE2__) || defined(_M_X64)
  _mm_sfence();
#endif
}

}  // namespace

HResult FrameCompositor::BuildSurfaces(std::int32_t width, std::int32_t height,
                                       std::uint32_t bkColor, VideoFormat video1,
                                       VideoFormat video2) {
  ReleaseSurfaces();
  if (width <= 0 || height <= 0) return kInvalidArg;
  if (!composite_.Resize(width, height) || !background_.Resize(width, 1) ||
      !blendedBackground_.Resize(width, 1) ||
      (video2.present && !video2_.Resize(video2.width, video2.height))) {
    ReleaseSurfaces();
    return kOutOfMemory;
  }
  background_.Fill(bkColor);
  video1Format_ = video1;
  video2TopDown_ = video2.topDown;
  if (!SizeStripBuffer()) {
    ReleaseSurfaces();
    return kOutOfMemory;
  }
  return kOk;
}

void FrameCompositor::ReleaseSurfaces() {
  composite_.Release();
  background_.Release();
  blendedBackground_.Release();
  video2_.Release();
  video2TopDown_ = false;
  std::vector<std::vector<std::uint8_t>>().swap(stripStores_);
  video1Format_ = VideoFormat{};
}

bool FrameCompositor::SizeStripBuffer() {
  if (composite_.Empty()) return true;
  // Zeroed once: row padding in it is never written, so it stays 0 as the
  // composite's does; 63 spare bytes let the rows start on a cache line.
  const std::size_t bytes = static_cast<std::size_t>(StripRows()) * composite_.Stride() + 63;
  try {
    stripStores_.resize(static_cast<std::size_t>(workers_));
    workerPlans_.resize(static_cast<std::size_t>(workers_));
    for (std::vector<std::uint8_t>& store : stripStores_) {
      if (store.size() < bytes) std::vector<std::uint8_t>(bytes, 0).swap(store);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

std::uint8_t* FrameCompositor::StripBuffer(int worker) {
  std::vector<std::uint8_t>& store = stripStores_[static_cast<std::size_t>(worker)];
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(store.data());
  return store.data() + ((64 - (start & 63)) & 63);
}

HResult FrameCompositor::SetWorkers(int workers) {
  workers_ = std::max(1, workers);
  if (SizeStripBuffer()) return kOk;
  ReleaseSurfaces();
  return kOutOfMemory;
}

void FrameCompositor::SetStripRows(std::int32_t rows) {
  stripRows_ = rows;
  if (!SizeStripBuffer()) ReleaseSurfaces();  // frames then fail as without surfaces
}

void FrameCompositor::FillBackground(std::uint32_t colorref) { background_.Fill(colorref); }

std::int32_t FrameCompositor::StripRows() const {
  if (composite_.Empty()) return 0;
  const std::size_t rows = stripRows_ > 0 ? static_cast<std::size_t>(stripRows_)
                                          : std::max<std::size_t>(1, kStripBytes / composite_.Stride());
  return static_cast<std::int32_t>(std::min<std::size_t>(rows, static_cast<std::size_t>(composite_.Height())));
}

ConstRgbView FrameCompositor::PictureOf(const OverlaySettings& settings, std::uint32_t layerType,
                                        ConstRgbView video1) const {
  switch (layerType) {
    case LAYERTYPE_BACKGROUND: {
      if (background_.Empty()) return ConstRgbView();
      // The one stored row stands for every row of a frame-sized picture.
      RgbView row{const_cast<std::uint8_t*>(background_.Data()), background_.Width(), composite_.Height(), 0};
      return ConstRgbView(row);
    }
    case LAYERTYPE_VIDEO1: return video1;
    case LAYERTYPE_VIDEO2: {
      ConstRgbView picture = video2_.View();
      picture.topDown = video2TopDown_;
      return picture;
    }
    case LAYERTYPE_OVERLAYIMAGE: return settings.OverlayImage.RgbPixels();
    default: return ConstRgbView();
  }
}

// The background is one colour, so over black its opacity blend is one
// colour too and its mask blend depends on the mask value alone: the layer
// becomes a copy of a precomputed row, or a table lookup, with the same
// bytes. (A strip that this layer is drawn on starts from black: it is the
// lowest layer drawn, and a layer replacing the whole strip would be drawn
// instead of it, never beneath it.)
void FrameCompositor::PlanOverBlack(LayerPlan& plan) {
  const std::uint8_t* colour = background_.Data();  // blue, green, red
  if (plan.op == LayerOp::Opacity) {
    const std::uint32_t weight = OpacityLayerWeight(plan.level);
    const std::uint32_t blended = (std::uint32_t{OpacityBlend(0, colour[0], weight)} << 16) |
                                  (std::uint32_t{OpacityBlend(0, colour[1], weight)} << 8) |
                                  OpacityBlend(0, colour[2], weight);
    blendedBackground_.Fill(blended);
    plan.picture = ConstRgbView(RgbView{blendedBackground_.Data(), plan.picture.width, plan.picture.height, 0});
    plan.op = LayerOp::Copy;
  } else if (plan.op == LayerOp::Mask) {
    maskTable_.SetColour(colour);
    plan.maskTable = &maskTable_;
  }
}

// Plans every position once for the frame. The new second picture is drawn
// from the sample directly while its surface copy streams past the cache.
FrameCompositor::FramePlan FrameCompositor::PlanFrame(const OverlaySettings& settings,
                                                      ConstRgbView video1,
                                                      const std::uint8_t* newVideo2) {
  FramePlan frame;
  frame.newVideo2 = newVideo2;
  const std::int32_t width = composite_.Width();
  const std::int32_t height = composite_.Height();
  for (int position = 0; position < kLayerCount; ++position) {
    const LayerSettings& layer = settings.Layers[position];
    ConstRgbView picture = PictureOf(settings, layer.LayerType, video1);
    if (newVideo2 != nullptr && layer.LayerType == LAYERTYPE_VIDEO2) {
      picture = ConstRgbView(newVideo2, video2_.Width(), video2_.Height(), video2TopDown_);
    }
    LayerPlan& plan = frame.layers[position];
    plan = PlanLayer(width, height, picture, layer, layer.LayerType == LAYERTYPE_BACKGROUND);
    if (layer.LayerType == LAYERTYPE_VIDEO2 && plan.op != LayerOp::Skip) frame.video2Position = position;
  }
  // On frames that clear the composite, the lowest layer drawn lies on black.
  if (newVideo2 != nullptr) {
    for (int position = 0; position < kLayerCount; ++position) {
      if (frame.layers[position].op == LayerOp::Skip) continue;
      if (settings.Layers[position].LayerType == LAYERTYPE_BACKGROUND) PlanOverBlack(frame.layers[position]);
      break;
    }
  }
  return frame;
}

// Layers beneath the topmost one that replaces every byte of rows y0..y1-1
// cannot show there, and neither can the black clear or the previous frame.
// A keyed layer does so where none of its pixels there has the key (a scan
// of rows it reads next anyway), and is then drawn as a copy.
int FrameCompositor::FirstVisibleLayer(const FramePlan& frame, std::int32_t y0, std::int32_t y1,
                                       bool* drawAsCopy) const {
  const std::int32_t width = composite_.Width();
  *drawAsCopy = false;
  for (int position = kLayerCount - 1; position >= 0; --position) {
    const LayerPlan& plan = frame.layers[position];
    if (plan.CoversRows(width, y0, y1) ||
        (plan.CoversRowsUnlessKeyed(width, y0, y1) && !AnyKeyInRows(plan, y0, y1, *kernels_))) {
      *drawAsCopy = plan.op == LayerOp::ColorKey;
      return position;
    }
  }
  return -1;
}

// Copies the rows of the new second picture that strip y0..y1-1 draws into
// its surface, while they are in cache: the picture rows at frame rows y0
// to y1 - 1, with the rows below the frame in the bottom strip and those
// above it in the top one. The strips together copy every row once, in any
// order. The bottom strip copies the whole picture when no layer draws it,
// and when it is top-down: such a picture keeps its row order in the
// surface, its rows being drawn the other way round.
void FrameCompositor::RefreshSecondPicture(const FramePlan& frame, std::int32_t y0, std::int32_t y1) {
  if (frame.newVideo2 == nullptr) return;
  const std::int32_t height = video2_.Height();
  // Picture rows, counted from its bottom (the start of the buffer), that
  // lie at frame row y or below.
  auto rowsFrom = [&](std::int32_t y) {
    return frame.video2Position < 0 || video2TopDown_
               ? height
               : height - std::clamp(y - frame.layers[frame.video2Position].top, 0, height);
  };
  const std::int32_t from = y1 >= composite_.Height() ? 0 : rowsFrom(y1);
  const std::int32_t to = y0 <= 0 ? height : rowsFrom(y0);
  if (to <= from) return;
  const std::size_t stride = video2_.Stride();
  const std::size_t first = static_cast<std::size_t>(from) * stride;
  StreamCopy(video2_.Data() + first, frame.newVideo2 + first, static_cast<std::size_t>(to - from) * stride);
}

// Composes frame rows y0..y1-1 in `strip`, laid out as in the composite
// (row y at strip + (y1 - 1 - y) * stride; padding stays 0): what lies
// beneath the first visible layer (black on frames with a new second
// picture, else the previous frame), then the layers from there up.
void FrameCompositor::ComposeStrip(FramePlan& frame, std::int32_t y0, std::int32_t y1,
                                   std::uint8_t* strip) {
  const RgbView out = composite_.View();
  const std::size_t blockBytes = static_cast<std::size_t>(y1 - y0) * out.stride;
  bool firstAsCopy = false;
  const int first = FirstVisibleLayer(frame, y0, y1, &firstAsCopy);
  if (first < 0) {
    if (frame.newVideo2 != nullptr) {
      std::memset(strip, 0, blockBytes);
    } else {
      std::memcpy(strip, out.bits + static_cast<std::size_t>(out.height - y1) * out.stride, blockBytes);
    }
  }
  const RgbView stripView{strip, out.width, y1, out.stride};
  for (int position = std::max(first, 0); position < kLayerCount; ++position) {
    if (position == first && firstAsCopy) {
      LayerPlan opaque = frame.layers[position];
      opaque.op = LayerOp::Copy;
      DrawLayerRows(stripView, opaque, y0, y1, *kernels_);
    } else {
      DrawLayerRows(stripView, frame.layers[position], y0, y1, *kernels_);
    }
  }
}

HResult FrameCompositor::ComposeFrame(const OverlaySettings& settings, const std::uint8_t* video1,
                                      std::size_t video1Bytes, const std::uint8_t* heldVideo2,
                                      std::size_t video2Bytes, std::uint8_t* output,
                                      std::size_t outputBytes) {
  if (composite_.Empty() || !video1Format_.present || video1 == nullptr) return kFail;
  const ConstRgbView video1View(video1, video1Format_.width, video1Format_.height, video1Format_.topDown);
  if (video1Bytes < video1View.stride * static_cast<std::size_t>(video1View.height)) return kFail;
  if (heldVideo2 != nullptr && (video2_.Empty() || video2Bytes < video2_.SizeBytes())) return kFail;

  FramePlan frame = PlanFrame(settings, video1View, heldVideo2);
  // A short output buffer fails the frame, but only after the layers are
  // drawn: the composite still moves on.
  const bool deliver = output != nullptr && outputBytes >= composite_.SizeBytes();

  // Strips go from the bottom of the frame up, so every buffer is walked in
  // ascending memory order. Each strip is composed in the strip buffer,
  // which stays in cache from strip to strip; the composite and the output
  // are only written, with whole-line streaming stores. Rows y0..y1-1 from
  // the top are one block in the bottom-up buffers.
  const std::int32_t height = composite_.Height();
  const std::int32_t stripRows = StripRows();
  const std::size_t stride = composite_.Stride();
  const auto strips = static_cast<std::size_t>((height + stripRows - 1) / stripRows);
  // Strip i is frame rows y0..y1-1 with y1 = height - i * stripRows. Each
  // worker takes its strips in ascending order, so bottom to top, as its
  // copy of the plans expects (drawing moves a plan's place in its region).
  auto composeStrip = [&](std::size_t index, int worker) {
    const std::int32_t y1 = height - static_cast<std::int32_t>(index) * stripRows;
    const std::int32_t y0 = std::max(0, y1 - stripRows);
    FramePlan& plans = worker == 0 ? frame : workerPlans_[static_cast<std::size_t>(worker)];
    std::uint8_t* const strip = StripBuffer(worker);
    RefreshSecondPicture(plans, y0, y1);
    ComposeStrip(plans, y0, y1, strip);
    const std::size_t blockOffset = static_cast<std::size_t>(height - y1) * stride;
    const std::size_t blockBytes = static_cast<std::size_t>(y1 - y0) * stride;
    StreamCopy(composite_.Data() + blockOffset, strip, blockBytes);
    if (deliver) StreamCopy(output + blockOffset, strip, blockBytes);
    // A helper's streaming stores are visible before it reports the strip done.
    if (worker != 0) StreamFence();
  };
  const int helpers = pool_ != nullptr ? pool_->Helpers() : 0;
  if (helpers > 0 && helpers < workers_ && strips > 1) {
    for (int w = 1; w <= helpers; ++w) workerPlans_[static_cast<std::size_t>(w)] = frame;
    pool_->Run(strips, composeStrip);
  } else {
    for (std::size_t i = 0; i < strips; ++i) composeStrip(i, 0);
  }
  StreamFence();
  return deliver ? kOk : kFail;
}

}  // namespace ovl

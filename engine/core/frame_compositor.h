#pragma once
// The drawing surfaces of one filter and the composition of one frame.
//
// The composite persists between frames: pixels that no layer covers keep the
// previous frame's bytes; it is cleared to black only on frames that bring a
// second-input picture. The main input's picture is read straight from the
// sample buffer; the second input's picture is copied into its own surface,
// which keeps the last picture when no new one arrives. Buffers are sized when
// the surfaces are built, never per frame.
//
// A frame is composed in horizontal strips of a few rows, in a strip buffer
// that stays in cache: the strip's clear (or the previous frame's rows), its
// four layers, then one copy into the composite and one into the output,
// instead of streaming the whole composite through memory once per layer.
// The second picture's surface is refreshed strip by strip too. The
// background surface is one colour, so it is kept as one row that stands
// for every frame row.
//
// The strips of a frame can be shared among several threads (the caller of
// ComposeFrame and the helpers of a WorkerPool): each has its own strip
// buffer and its own copy of the frame's plans, and every strip is composed
// the same whichever thread takes it, so the bytes never depend on the
// number of threads.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/layer_pass.h"
#include "engine/core/overlay_settings.h"
#include "engine/core/pass_kernels.h"
#include "engine/core/pixel_image.h"
#include "engine/core/worker_pool.h"

namespace ovl {

struct VideoFormat {
  std::int32_t width = 0;
  std::int32_t height = 0;  // rows, positive whatever their order
  bool present = false;  // the input was connected when the surfaces were built
  bool topDown = false;  // the input's rows come top first
};

class FrameCompositor {
 public:
  explicit FrameCompositor(const PassKernels& kernels = BestPassKernels()) : kernels_(&kernels) {}

  // Built when the output connects: composite and background surfaces of the
  // frame size (background filled with `bkColor`), and a video surface for
  // each input connected at that time. kOutOfMemory leaves no surfaces.
  HResult BuildSurfaces(std::int32_t width, std::int32_t height, std::uint32_t bkColor,
                        VideoFormat video1, VideoFormat video2);
  void ReleaseSurfaces();
  bool HasOutputSurface() const { return !composite_.Empty(); }

  // Refills the background surface, when it exists.
  void FillBackground(std::uint32_t colorref);

  // One frame: takes the main picture from `video1` and, when `heldVideo2`
  // is given, clears the composite to black and refreshes the second video
  // surface from it; draws the layers at positions 0..3; copies the finished
  // composite into `output`. kFail when a surface is missing or a buffer is
  // shorter than its picture; layers already drawn stay drawn.
  HResult ComposeFrame(const OverlaySettings& settings, const std::uint8_t* video1,
                       std::size_t video1Bytes, const std::uint8_t* heldVideo2,
                       std::size_t video2Bytes, std::uint8_t* output, std::size_t outputBytes);

  ConstRgbView Composite() const { return composite_.View(); }
  // Rows per strip for the current frame size; `rows` > 0 fixes it (tests
  // use it to put strip boundaries anywhere), 0 restores the default.
  std::int32_t StripRows() const;
  void SetStripRows(std::int32_t rows);
  std::size_t CompositeBytes() const { return composite_.SizeBytes(); }

  // Up to `workers` threads compose a frame's strips: the caller and the
  // helpers of the pool given to UsePool. Their strip buffers are made now
  // and with the surfaces, never per frame; kOutOfMemory releases the
  // surfaces, as a failed BuildSurfaces does.
  HResult SetWorkers(int workers);
  int Workers() const { return workers_; }
  // The pool whose helpers share the strips (nullptr: the caller alone). A
  // pool with more helpers than SetWorkers allows for leaves the frames to
  // the caller alone.
  void UsePool(WorkerPool* pool) { pool_ = pool; }
  const PassKernels& Kernels() const { return *kernels_; }

 private:
  // What one frame draws: the plan of each position and where the second
  // picture goes.
  struct FramePlan {
    LayerPlan layers[kLayerCount];
    // The second input's new picture; when given, the composite restarts
    // from black and the picture's surface is refreshed.
    const std::uint8_t* newVideo2 = nullptr;
    int video2Position = -1;  // the position drawing the second picture, -1 if none
  };

  // The steps of ComposeFrame, in order.
  FramePlan PlanFrame(const OverlaySettings& settings, ConstRgbView video1,
                      const std::uint8_t* newVideo2);
  int FirstVisibleLayer(const FramePlan& frame, std::int32_t y0, std::int32_t y1,
                        bool* drawAsCopy) const;
  void RefreshSecondPicture(const FramePlan& frame, std::int32_t y0, std::int32_t y1);
  void ComposeStrip(FramePlan& frame, std::int32_t y0, std::int32_t y1, std::uint8_t* strip);

  ConstRgbView PictureOf(const OverlaySettings& settings, std::uint32_t layerType,
                         ConstRgbView video1) const;
  bool SizeStripBuffer();
  void PlanOverBlack(LayerPlan& plan);
  std::uint8_t* StripBuffer(int worker);

  const PassKernels* kernels_;
  RgbImage composite_;
  RgbImage background_;  // one row of the background colour
  RgbImage blendedBackground_;  // one row: the background blended over black
  MaskOverBlack maskTable_;  // the background masked over black
  RgbImage video2_;  // rows in the order the second input sends them
  bool video2TopDown_ = false;
  VideoFormat video1Format_;
  std::int32_t stripRows_ = 0;
  int workers_ = 1;
  WorkerPool* pool_ = nullptr;
  std::vector<std::vector<std::uint8_t>> stripStores_;  // per worker: one strip being composed
  std::vector<FramePlan> workerPlans_;  // per helper: its copy of the frame's plans
};

}  // namespace ovl

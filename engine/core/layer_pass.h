#pragma once
// Drawing one layer onto the composite: the mode precedence and the walk over
// the rows and spans the layer may touch.
//
// A frame is drawn in horizontal strips (all layers of a strip, then the
// next strip), so a layer is prepared once per frame as a LayerPlan and then
// drawn a band of rows at a time, bottom to top (ascending memory).
#include <cstddef>
#include <cstdint>
#include <limits>

#include "engine/core/layer_settings.h"
#include "engine/core/pass_kernels.h"
#include "engine/core/pixel_image.h"

namespace ovl {

// How a layer is drawn. A layer's settings choose one of the four modes;
// planning a frame may fold settings that cannot change a byte into Copy or
// Skip.
enum class LayerOp { Skip, Copy, ColorKey, Opacity, Mask };

// First match wins: a loaded mask while EnableMaskBitmap is set; colour key
// when EnableTransparency is set and EnableMaskBitmap is not; opacity when
// only EnableOpacity is set; a copy otherwise (also when EnableMaskBitmap is
// set but no mask is loaded).
LayerOp ChooseLayerOp(const LayerSettings& layer);

// One layer, ready to draw. `op` is the effective operation: settings that
// cannot change a byte (opacity level 0, a key no pixel can match, a key on a
// one-colour picture) are folded into Copy or Skip here.
struct LayerPlan {
  LayerOp op = LayerOp::Skip;
  ConstRgbView picture;
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // frame pixels, right/bottom exclusive
  const RegionSpans* region = nullptr;
  // Region bands [0, bandsLeft) may still be drawn (strips move up the frame).
  std::size_t bandsLeft = std::numeric_limits<std::size_t>::max();
  std::uint32_t key = 0;
  std::uint8_t level = 0;
  MaskView mask;
  const MaskOverBlack* maskTable = nullptr;  // Mask through PassKernels::maskTable (one colour over black)

  // Every byte of rows y0..y1-1 is replaced by the layer alone, so what
  // lies beneath there never shows.
  bool CoversRows(std::int32_t frameWidth, std::int32_t y0, std::int32_t y1) const {
    return op == LayerOp::Copy && SpansRows(frameWidth, y0, y1);
  }
  // The same but for the pixels with the key colour: where rows y0..y1-1
  // have none (AnyKeyInRows), the layer covers them and draws as a copy.
  bool CoversRowsUnlessKeyed(std::int32_t frameWidth, std::int32_t y0, std::int32_t y1) const {
    return op == LayerOp::ColorKey && SpansRows(frameWidth, y0, y1);
  }

 private:
  bool SpansRows(std::int32_t frameWidth, std::int32_t y0, std::int32_t y1) const {
    return region == nullptr && left == 0 && right == frameWidth && top <= y0 && bottom >= y1;
  }
};

// Whether a layer's picture has a pixel with the plan's key colour in frame
// rows y0..y1-1 (the rows must lie inside the layer, columns left..right).
bool AnyKeyInRows(const LayerPlan& plan, std::int32_t y0, std::int32_t y1, const PassKernels& kernels);

// `uniform` says every pixel of `picture` has the same colour (the
// background surface); a picture with stride 0 is one row repeated.
LayerPlan PlanLayer(std::int32_t frameWidth, std::int32_t frameHeight, ConstRgbView picture,
                    const LayerSettings& layer, bool uniform);

// Draws the plan's rows y0..y1-1 (top-down frame rows) over `out`. Calls
// for one plan must come with decreasing, non-overlapping row ranges.
void DrawLayerRows(RgbView out, LayerPlan& plan, std::int32_t y0, std::int32_t y1,
                   const PassKernels& kernels);

}  // namespace ovl

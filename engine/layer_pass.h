#pragma once
// Drawing one layer onto the composite: the mode precedence and the walk over
// the rows and spans the layer may touch.
#include "engine/layer_settings.h"
#include "engine/pass_kernels.h"
#include "engine/pixel_image.h"

namespace ovl {

enum class LayerMode { Copy, ColorKey, Opacity, Mask };

// First match wins: a loaded mask while EnableMaskBitmap is set; colour key
// when EnableTransparency is set and EnableMaskBitmap is not; opacity when
// only EnableOpacity is set; a copy otherwise (also when EnableMaskBitmap is
// set but no mask is loaded).
LayerMode ChooseLayerMode(const LayerSettings& layer);

// Draws `picture` at (XPos, YPos) over `out` in the layer's mode, clipped to
// the frame and, when the layer has a region, to its coverage. Pixels the
// layer does not touch keep their bytes; row padding is never written.
void DrawLayerPass(RgbView out, ConstRgbView picture, const LayerSettings& layer,
                   const PassKernels& kernels);

}  // namespace ovl

#pragma once
// Pictures, span sets and whole random scenes for compositor tests and
// benchmarks.
#include <cstdint>
#include <random>
#include <vector>

#include "engine/core/frame_compositor.h"
#include "engine/core/overlay_settings.h"
#include "engine/core/pixel_image.h"
#include "engine/core/region_spans.h"

namespace ovl::testing {

// Gives a layer a clip region without a platform region: the coverage is
// what the compositor reads, the handle only says "a region is in force".
void AttachCoverage(LayerSettings& layer, const RegionSpans& coverage);
void DetachCoverage(LayerSettings& layer);

// Spans of an ellipse inscribed in [left, right) x [top, bottom).
RegionSpans EllipseSpans(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
// Random bands and spans that may reach outside the frame on every side.
RegionSpans RandomSpans(std::mt19937& rng, std::int32_t frameWidth, std::int32_t frameHeight);

void FillRandom(RgbImage& image, std::mt19937& rng);  // padding stays zero
void FillGradient(RgbImage& image, std::uint32_t seed);
// Installs a mask of stored values (padding bytes random too: never read).
void SetMask(LayerSettings& layer, std::int32_t width, std::int32_t height, std::mt19937& rng);
void SetOverlayImage(OverlaySettings& settings, const RgbImage& image);

enum class SceneMode { Copy, ColorKey, Opacity, Mask, Mixed };

// Everything one frame needs: settings plus the input pictures.
struct Scene {
  OverlaySettings settings;
  std::int32_t width = 0, height = 0;
  std::uint32_t bkColor = 0;
  RgbImage video1, video2, overlay;
  bool heldVideo2 = false;  // this frame brings a second-input picture
};

// A random scene: frame and layer sizes (odd widths included), positions
// inside, across and beyond the edges, span sets, modes, order, masks
// smaller than their layers.
Scene RandomScene(std::mt19937& rng, SceneMode mode = SceneMode::Mixed);

// Four full-frame layers, all in `mode`, optionally clipped to an ellipse.
Scene BenchScene(std::int32_t width, std::int32_t height, SceneMode mode, bool ellipse);

}  // namespace ovl::testing

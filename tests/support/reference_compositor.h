#pragma once
// The literal compositor: the oracle the fast engine is checked against.
//
// It follows the drawing rules word for word: every surface is a separate
// copy (the main picture is copied out of the sample, a per-pixel layer reads
// the whole composite into a working buffer, reads its layer picture, runs
// the pass and writes the whole buffer back), the walk visits every pixel of
// the frame and asks whether it lies in the layer area and in the region, and
// the blend arithmetic is done per byte in double precision.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/frame_compositor.h"
#include "engine/core/overlay_settings.h"
#include "engine/core/pixel_image.h"

namespace ovl::reference {

// Whether frame pixel (x, y) lies in the layer's region (asked only when the
// layer has one). By default the layer's span coverage answers; the Windows
// tests ask GDI itself (PtInRegion on the region handle).
using RegionTest = std::function<bool(const LayerSettings&, std::int32_t x, std::int32_t y)>;
bool CoverageTest(const LayerSettings& layer, std::int32_t x, std::int32_t y);

// The three per-pixel passes and the clipped copy, over whole pictures.
void CopyPass(RgbView out, ConstRgbView layer, const LayerSettings& s, const RegionTest& inRegion = CoverageTest);
void ColorKeyPass(RgbView out, ConstRgbView layer, const LayerSettings& s, const RegionTest& inRegion = CoverageTest);
void OpacityPass(RgbView out, ConstRgbView layer, const LayerSettings& s, const RegionTest& inRegion = CoverageTest);
void MaskPass(RgbView out, ConstRgbView layer, const LayerSettings& s, const RegionTest& inRegion = CoverageTest);

// Single-byte formulas exactly as written.
std::uint8_t OpacityByte(std::uint8_t out, std::uint8_t layer, std::uint8_t opacityLevel);
std::uint8_t MaskByte(std::uint8_t out, std::uint8_t layer, std::uint8_t storedMask);

class ReferenceCompositor {
 public:
  void SetRegionTest(RegionTest test) { inRegion_ = std::move(test); }
  HResult BuildSurfaces(std::int32_t width, std::int32_t height, std::uint32_t bkColor,
                        VideoFormat video1, VideoFormat video2);
  void FillBackground(std::uint32_t colorref) { background_.Fill(colorref); }
  HResult ComposeFrame(const OverlaySettings& settings, const std::uint8_t* video1,
                       std::size_t video1Bytes, const std::uint8_t* heldVideo2,
                       std::size_t video2Bytes, std::uint8_t* output, std::size_t outputBytes);
  ConstRgbView Composite() const { return output_.View(); }

 private:
  void DrawLayer(const OverlaySettings& settings, int position);

  RgbImage output_;
  RgbImage background_;
  RgbImage video1_;
  RgbImage video2_;
  bool hasVideo1_ = false;
  bool hasVideo2_ = false;
  RegionTest inRegion_ = CoverageTest;
  std::vector<std::uint8_t> working_;
  std::vector<std::uint8_t> layerCopy_;
};

}  // namespace ovl::reference

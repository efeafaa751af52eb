#include "engine/core/composite_size.h"

#include <algorithm>

namespace ovl {
namespace {

bool WidthIsAutomatic(const OverlaySettings& s) { return s.OutputSizeType == 0 || s.OutputWidth == 0; }
bool HeightIsAutomatic(const OverlaySettings& s) { return s.OutputSizeType == 0 || s.OutputHeight == 0; }

std::uint32_t SignedMax(std::uint32_t current, std::int32_t candidate) {
  return static_cast<std::uint32_t>(std::max(static_cast<std::int32_t>(current), candidate));
}

}  // namespace

void GrowCompositeForInput(OverlaySettings& s, const InputFrame& input) {
  if (WidthIsAutomatic(s)) s.CompositeWidth = SignedMax(s.CompositeWidth, input.width);
  if (HeightIsAutomatic(s)) s.CompositeHeight = SignedMax(s.CompositeHeight, input.height);
  s.CompositeBitCount = std::max(s.CompositeBitCount, input.bitCount);
}

void FollowRemainingInput(OverlaySettings& s, const InputFrame& remaining) {
  const InputFrame other = remaining.connected ? remaining : InputFrame{};
  if (WidthIsAutomatic(s)) s.CompositeWidth = static_cast<std::uint32_t>(other.width);
  if (HeightIsAutomatic(s)) s.CompositeHeight = static_cast<std::uint32_t>(other.height);
  s.CompositeBitCount = other.bitCount;
}

bool RecomputeCompositeSize(OverlaySettings& s, const InputFrame& input0, const InputFrame& input1) {
  const std::uint32_t oldWidth = s.CompositeWidth, oldHeight = s.CompositeHeight;
  const bool custom = s.OutputSizeType == OUTPUTSIZETYPE_CUSTOM;
  std::int32_t width = custom ? s.OutputWidth : 0;
  std::int32_t height = custom ? s.OutputHeight : 0;
  for (const InputFrame* input : {&input0, &input1}) {
    if (!input->connected) continue;
    if (!custom || s.OutputWidth == 0) width = std::max(width, input->width);
    if (!custom || s.OutputHeight == 0) height = std::max(height, input->height);
  }
  s.CompositeWidth = static_cast<std::uint32_t>(width);
  s.CompositeHeight = static_cast<std::uint32_t>(height);
  return s.CompositeWidth != oldWidth || s.CompositeHeight != oldHeight;
}

}  // namespace ovl

#pragma once
// The size of every output frame: either the largest input (automatic) or
// the custom OutputWidth / OutputHeight, dimension by dimension.
#include <cstdint>

#include "engine/core/overlay_settings.h"

namespace ovl {

// What an input pin contributes: the frame of its connected media type.
struct InputFrame {
  bool connected = false;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bitCount = 0;
};

// An input connects: each automatic dimension grows to the input's (a custom
// dimension set to 0 counts as automatic; any OutputSizeType other than 0
// counts as custom here), and the bit count to the larger one.
void GrowCompositeForInput(OverlaySettings& s, const InputFrame& input);

// An input disconnects: the automatic dimensions and the bit count become
// those of the other input (all 0 when it is not there).
void FollowRemainingInput(OverlaySettings& s, const InputFrame& remaining);

// The size from the settings alone: OutputSizeType 1 takes the custom
// dimensions, anything else is automatic; a dimension still 0 becomes the
// largest over the connected inputs. Returns true when width or height
// changed.
bool RecomputeCompositeSize(OverlaySettings& s, const InputFrame& input0, const InputFrame& input1);

}  // namespace ovl

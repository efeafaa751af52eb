#pragma once
// The number of threads composing a frame's strips, chosen when the output
// connects: from the frame size, the processors this process may run on
// (its affinity mask) and the cap in the environment variable
// OVL_STRIP_WORKERS (unset or 0: automatic; 1: the streaming thread alone).
#include <cstdint>

namespace ovl {

int StripWorkersForFrame(std::int32_t width, std::int32_t height);

}  // namespace ovl

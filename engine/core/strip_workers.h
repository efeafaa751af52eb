#pragma once
// How many threads compose a frame's strips, chosen once per connection.
#include <algorithm>
#include <cstdint>

namespace ovl {

// Beyond this many threads the strips are bound by memory bandwidth.
constexpr int kMaxStripWorkers = 8;
// Frame bytes per thread: waking a helper and handing it strips costs some
// tens of microseconds, about what one megabyte of frame takes to compose,
// so small frames (640 x 480 and below) stay on one thread.
constexpr std::int64_t kFrameBytesPerStripWorker = 1 << 20;

// `usableCores`: the processors the process may run on; `cap`: the user's
// limit, 0 for none. Never less than one.
inline int ChooseStripWorkers(int usableCores, std::int32_t width, std::int32_t height, int cap) {
  const std::int64_t frameBytes = std::int64_t{3} * std::max(width, 0) * std::max(height, 0);
  std::int64_t workers = std::min<std::int64_t>({frameBytes / kFrameBytesPerStripWorker, usableCores,
                                                kMaxStripWorkers});
  if (cap > 0) workers = std::min<std::int64_t>(workers, cap);
  return static_cast<int>(std::max<std::int64_t>(workers, 1));
}

}  // namespace ovl

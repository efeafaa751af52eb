#pragma once
// Time stamps of trace lines: the local time of day when the first stamped
// line was written plus the milliseconds since, with a blank line before a
// stamp that comes more than 100 ms after the previous one.
#include <cstdint>

namespace ovl::diag {

constexpr std::uint32_t kMsPerDay = 86400000u;
constexpr std::uint32_t kPauseMs = 100;

struct Stamp {
  bool pause = false;  // more than kPauseMs after the previous stamp
  char text[24] = {};  // "hh:mm:ss.mmm: " or "+Nd hh:mm:ss.mmm: "
};

// Formats milliseconds since the midnight before the first stamp. Past the
// first day the whole days come first: "+1d 00:00:00.001: ".
void FormatStamp(std::uint64_t msSinceMidnight, char (&out)[24]);

// The stamps of one module, in the order its lines are written.
class StampSequence {
 public:
  // `baseMsOfDay` is the time of day of the first stamp, `elapsedMs` the
  // stopwatch reading since then.
  Stamp Next(std::uint32_t baseMsOfDay, std::uint32_t elapsedMs);

 private:
  bool hasPrevious_ = false;
  std::uint64_t previous_ = 0;
};

}  // namespace ovl::diag

#include "diag/core/trace_stamp.h"

#include <cstdio>

namespace ovl::diag {

void FormatStamp(std::uint64_t total, char (&out)[24]) {
  const unsigned days = static_cast<unsigned>(total / kMsPerDay);
  const std::uint64_t ofDay = total % kMsPerDay;
  const unsigned ms = static_cast<unsigned>(ofDay % 1000);
  const unsigned seconds = static_cast<unsigned>(ofDay / 1000 % 60);
  const unsigned minutes = static_cast<unsigned>(ofDay / 60000 % 60);
  const unsigned hours = static_cast<unsigned>(ofDay / 3600000);
  // Exactly one day reads as midnight; only later times show the day count.
  if (total > kMsPerDay) {
    std::snprintf(out, sizeof out, "+%ud %02u:%02u:%02u.%03u: ", days, hours, minutes, seconds, ms);
  } else {
    std::snprintf(out, sizeof out, "%02u:%02u:%02u.%03u: ", hours, minutes, seconds, ms);
  }
}

Stamp StampSequence::Next(std::uint32_t baseMsOfDay, std::uint32_t elapsedMs) {
  const std::uint64_t now = std::uint64_t{baseMsOfDay} + elapsedMs;
  Stamp stamp;
  stamp.pause = hasPrevious_ && now > previous_ + kPauseMs;
  hasPrevious_ = true;
  previous_ = now;
  FormatStamp(now, stamp.text);
  return stamp;
}

}  // namespace ovl::diag

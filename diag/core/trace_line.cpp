#include "diag/core/trace_line.h"

#include <cstdio>
#include <cstring>

#include "diag/core/trace_flags.h"

namespace ovl::diag {

std::size_t BuildTraceLine(const char* text, const LineDecoration& d, char* out, std::size_t cap) {
  if (cap == 0) return 0;
  if (text == nullptr) text = "";
  if (!TakesPrefix(text)) {
    std::size_t n = std::strlen(text);
    if (n > cap - 1) n = cap - 1;
    std::memcpy(out, text, n);
    out[n] = 0;
    return n;
  }

  std::size_t feeds = 0;
  while (text[feeds] == '\n') ++feeds;

  // The parts after the line breaks, each whole; the stamp is at most 19
  // characters, the count 12 and the id 10, so together they always fit.
  char tail[kTracePrefixLimit + 1] = "";
  int used = 0;
  if (d.pause) used += std::snprintf(tail + used, sizeof tail - used, "\n");
  if (d.stamp != nullptr) used += std::snprintf(tail + used, sizeof tail - used, "%s", d.stamp);
  if (d.withHandleCount) used += std::snprintf(tail + used, sizeof tail - used, "%4ld ", d.handleCount);
  if (d.withThreadId) used += std::snprintf(tail + used, sizeof tail - used, "%08lx: ", static_cast<unsigned long>(d.threadId));
  std::size_t tailLength = std::strlen(tail);

  const std::size_t roomForBreaks = (kTracePrefixLimit - tailLength) / 2;
  if (feeds > roomForBreaks) feeds = roomForBreaks;
  std::size_t at = 0;
  auto put = [&](const char* s, std::size_t n) {
    if (n > cap - 1 - at) n = cap - 1 - at;
    std::memcpy(out + at, s, n);
    at += n;
  };
  for (std::size_t i = 0; i < feeds; ++i) put("\r\n", 2);
  put(tail, tailLength);
  const char* body = text;
  while (*body == '\n') ++body;
  put(body, std::strlen(body));
  out[at] = 0;
  return at;
}

}  // namespace ovl::diag

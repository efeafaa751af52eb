#pragma once
// Building one trace line from its formatted text. Only a text that starts
// with a line feed gets a prefix: one CR LF per leading line feed, then the
// optional pause mark, time stamp, handle count and thread id.
#include <cstddef>
#include <cstdint>

namespace ovl::diag {

struct LineDecoration {
  bool pause = false;            // a blank line marks a pause before the stamp
  const char* stamp = nullptr;   // "hh:mm:ss.mmm: ", or null for none
  bool withHandleCount = false;
  long handleCount = -1;
  bool withThreadId = false;
  std::uint32_t threadId = 0;
};

// True when the text gets a prefix (and so a stamp would be shown).
inline bool TakesPrefix(const char* text) { return text != nullptr && text[0] == '\n'; }

// Writes the line into `out` (capacity `cap` > 0, always NUL-terminated) and
// returns its length. The prefix keeps to kTracePrefixLimit characters: the
// stamp, handle count and thread id are always whole, and leading line feeds
// beyond what still fits are dropped. A line longer than the buffer is cut.
std::size_t BuildTraceLine(const char* text, const LineDecoration& decoration, char* out, std::size_t cap);

}  // namespace ovl::diag

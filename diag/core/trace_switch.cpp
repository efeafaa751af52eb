#include "diag/core/trace_switch.h"

#include <cwctype>

namespace ovl::diag {

std::optional<std::uint32_t> ParseTraceFlags(const wchar_t* text) {
  if (text == nullptr) return std::nullopt;
  while (std::iswspace(*text)) ++text;
  unsigned base = 10;
  if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    base = 16;
    text += 2;
  }
  std::uint64_t value = 0;
  int digits = 0;
  for (; *text != 0; ++text, ++digits) {
    unsigned digit;
    if (*text >= L'0' && *text <= L'9') {
      digit = static_cast<unsigned>(*text - L'0');
    } else if (base == 16 && *text >= L'a' && *text <= L'f') {
      digit = static_cast<unsigned>(*text - L'a' + 10);
    } else if (base == 16 && *text >= L'A' && *text <= L'F') {
      digit = static_cast<unsigned>(*text - L'A' + 10);
    } else {
      break;
    }
    value = value * base + digit;
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  while (std::iswspace(*text)) ++text;
  if (digits == 0 || *text != 0) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

}  // namespace ovl::diag

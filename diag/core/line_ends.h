#pragma once
// Line ends in the log file are CR LF whatever the traced text used.
#include <cstddef>

class CBaseBuffer;

namespace ovl::diag {

// Appends `length` bytes of `line` with "\r\n", a lone "\r" and a lone "\n"
// each written as "\r\n". False when memory runs out (part may be appended).
bool AppendWithCrLf(CBaseBuffer& buffer, const char* line, std::size_t length);

}  // namespace ovl::diag

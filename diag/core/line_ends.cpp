#include "diag/core/line_ends.h"

#include "persistence/core/rk_buffer.h"

namespace ovl::diag {

bool AppendWithCrLf(CBaseBuffer& buffer, const char* line, std::size_t length) {
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (line[i] != '\r' && line[i] != '\n') continue;
    if (FAILED(buffer.AppendBytes(line + runStart, static_cast<std::uint32_t>(i - runStart)))) return false;
    if (FAILED(buffer.AppendBytes("\r\n", 2))) return false;
    if (line[i] == '\r' && i + 1 < length && line[i + 1] == '\n') ++i;
    runStart = i + 1;
  }
  return SUCCEEDED(buffer.AppendBytes(line + runStart, static_cast<std::uint32_t>(length - runStart)));
}

}  // namespace ovl::diag

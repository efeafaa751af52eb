#include "diag/core/status_names.h"

#include <cstdio>

namespace ovl::diag {
namespace {

const CodeName kSocketRows[] = {
#include "diag/core/socket_table.inc"
};

const CodeName kStatusRows[] = {
#include "diag/core/status_table.inc"
};

const char* Find(const CodeName* rows, std::size_t count, std::uint32_t code) {
  for (std::size_t i = 0; i < count; ++i) {
    if (rows[i].code == code) return rows[i].text;
  }
  return nullptr;
}

}  // namespace

CodeTable SocketErrorTable() { return {kSocketRows, sizeof kSocketRows / sizeof kSocketRows[0]}; }
CodeTable StatusCodeTable() { return {kStatusRows, sizeof kStatusRows / sizeof kStatusRows[0]}; }

const char* StatusCodeText(std::uint32_t code, char* scratch, std::size_t scratchSize) {
  if (code >= 0x80072710u && code <= 0x80072EDFu) {
    const std::uint32_t socketError = code & 0xFFFFu;
    if (const char* text = Find(kSocketRows, SocketErrorTable().count, socketError)) return text;
    std::snprintf(scratch, scratchSize, "Unknown Winsock error (%u=0x%08X)", socketError, socketError);
    return scratch;
  }
  if (code >= 0x8005F000u && code <= 0x8005FFFFu) {
    // The raster codes count down from the range's start: 0x8005F005 is -5.
    const long long number = 0x8005F000LL - static_cast<long long>(code);
    std::snprintf(scratch, scratchSize, "TERNKIT Raster Error (%lld)", number);
    return scratch;
  }
  if (const char* text = Find(kStatusRows, StatusCodeTable().count, code)) return text;
  std::snprintf(scratch, scratchSize, "0x%08X", code);
  return scratch;
}

}  // namespace ovl::diag

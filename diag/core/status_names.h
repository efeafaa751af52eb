#pragma once
// Readable names of status codes for trace lines and messages: Windows
// Sockets errors, the raster range, and the table of system, DirectShow,
// Windows Media and product-family codes. Unknown codes show their number.
#include <cstddef>
#include <cstdint>

namespace ovl::diag {

struct CodeName {
  std::uint32_t code;
  const char* text;
};

struct CodeTable {
  const CodeName* rows;
  std::size_t count;
};

CodeTable SocketErrorTable();
CodeTable StatusCodeTable();

// The name of `code`. A known code gives a static text; an unknown one is
// formatted into `scratch` (at least 100 bytes), which is returned.
const char* StatusCodeText(std::uint32_t code, char* scratch, std::size_t scratchSize);

}  // namespace ovl::diag

#pragma once
// Appending text to the log file: opened and closed for every write, started
// with a UTF-8 byte-order mark when empty. When the path cannot be created
// for lack of rights, the file of the same name inside a directory of that
// name is used (c:\TERNTrace.txt\TERNTrace.txt); sharing and lock conflicts
// are retried for at most a second. Failures drop the text.
#include <cstdint>

namespace ovl::diag {

struct SharedWriter;

void WriteToLogFile(SharedWriter& writer, const std::uint8_t* text, std::uint32_t length);

}  // namespace ovl::diag

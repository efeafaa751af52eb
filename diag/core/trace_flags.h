#pragma once
// The bits of the module's trace flags word.
#include <cstdint>

namespace ovl::diag {

constexpr std::uint32_t kTraceToFile = 0x01;      // append lines to the log file
constexpr std::uint32_t kTraceTimeStamp = 0x02;   // prefix with the time of day
constexpr std::uint32_t kTraceThreadId = 0x04;    // prefix with the calling thread's id
constexpr std::uint32_t kTraceOn = 0x08;          // without it nothing is traced or named
constexpr std::uint32_t kTraceReserved = 0x10;    // set in the shipped value, read by nothing
constexpr std::uint32_t kTraceHandleCount = 0x20; // prefix with the process's open handle count
constexpr std::uint32_t kTraceToDebugger = 0x40;  // send lines to the debugger output

// What a module starts with: tracing off.
constexpr std::uint32_t kShippedTraceFlags = kTraceReserved;

// Sizes of the working buffers: the formatted text and the finished line each
// hold at most this many characters including the terminator.
constexpr std::size_t kTraceLineCapacity = 2048;
// The prefix (line breaks, stamp, handle count, thread id) never exceeds this.
constexpr std::size_t kTracePrefixLimit = 50;

}  // namespace ovl::diag

#pragma once
// The gate of the trace call: with tracing off a call is one bit test of the
// module's flags word; only a call that passes reaches the writer.
#include <cstdint>

#include "diag/core/trace_flags.h"

namespace ovl::diag {

namespace detail {
// The module's trace flags word; its address also identifies the module to
// the writer it shares with other modules of the process.
extern std::uint32_t traceFlags;
void TraceWrite(const char* format, ...) __attribute__((format(printf, 1, 2)));
}  // namespace detail

inline bool TracingEnabled() { return (detail::traceFlags & kTraceOn) != 0; }

// Always inlined so that, with tracing off, a call costs the bit test alone
// while the compiler still checks the arguments against the format.
__attribute__((always_inline, format(printf, 1, 2))) inline void Trace(const char* format, ...) {
  if (TracingEnabled()) detail::TraceWrite(format, __builtin_va_arg_pack());
}

}  // namespace ovl::diag

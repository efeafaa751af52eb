// What the trace call costs its caller: with the shipped flags (one bit test
// of the module's flags word) and with the file sink on. Native build: the
// gate is the module's own header; the traced line is built from the
// module's own pieces (formatting, stamp, line building, CR LF append under
// the writer's lock). Writing the file is not the caller's cost: the flush
// timer's thread does it at most once per 500 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "diag/core/line_ends.h"
#include "diag/core/trace_gate.h"
#include "diag/core/trace_line.h"
#include "diag/core/trace_stamp.h"
#include "persistence/core/rk_buffer.h"

namespace ovl::diag::detail {

std::uint32_t traceFlags = kShippedTraceFlags;

namespace {
std::mutex g_clockLock, g_writerLock;
StampSequence g_stamps;
const auto g_clockStart = std::chrono::steady_clock::now();
CBuffer g_pending;
}  // namespace

void TraceWrite(const char* format, ...) {
  char text[kTraceLineCapacity];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  LineDecoration decoration;
  Stamp stamp;
  if (TakesPrefix(text)) {
    if (traceFlags & kTraceTimeStamp) {
      std::lock_guard<std::mutex> hold(g_clockLock);
      const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_clockStart);
      stamp = g_stamps.Next(12 * 3600000, static_cast<std::uint32_t>(elapsed.count()));
      decoration.pause = stamp.pause;
      decoration.stamp = stamp.text;
    }
    if (traceFlags & kTraceThreadId) {
      decoration.withThreadId = true;
      decoration.threadId = 0x1234;
    }
  }
  char line[kTraceLineCapacity];
  const std::size_t length = BuildTraceLine(text, decoration, line, sizeof line);
  std::lock_guard<std::mutex> hold(g_writerLock);
  AppendWithCrLf(g_pending, line, length);
  if (g_pending.Length() > (1u << 20)) g_pending.SetLength(0);  // the flush takes the text away
}

}  // namespace ovl::diag::detail

namespace {

// A streaming-path line: the pin's tag in hex, as the receive lines have.
void TraceReceiveLine(unsigned tag) { ovl::diag::Trace("\n- OVLPin::Receive0(%03x) (NORMAL)", tag); }

// The loop alone; memory is clobbered every turn as calls around a real
// trace site would, so the flags word is read each time.
void BM_LoopAlone(benchmark::State& state) {
  unsigned tag = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(++tag);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LoopAlone);

void BM_TraceShippedFlags(benchmark::State& state) {
  ovl::diag::detail::traceFlags = ovl::diag::kShippedTraceFlags;
  unsigned tag = 0;
  for (auto _ : state) {
    TraceReceiveLine(++tag & 0xFFF);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_TraceShippedFlags);

void BM_TracedLineFileSinkOn(benchmark::State& state) {
  using namespace ovl::diag;
  detail::traceFlags = kTraceOn | kTraceToFile | kTraceTimeStamp | kTraceThreadId;
  unsigned tag = 0;
  for (auto _ : state) {
    TraceReceiveLine(++tag & 0xFFF);
    benchmark::ClobberMemory();
  }
  detail::traceFlags = kShippedTraceFlags;
}
BENCHMARK(BM_TracedLineFileSinkOn);

}  // namespace

BENCHMARK_MAIN();

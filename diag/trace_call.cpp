// The trace call and the naming functions of trace.h.
#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "diag/core/status_names.h"
#include "diag/core/time_texts.h"
#include "diag/core/trace_line.h"
#include "diag/shared_writer.h"
#include "diag/trace.h"
#include "diag/trace_module.h"

namespace ovl::diag {
namespace {

// Rotating static buffers: texts stay valid for the trace call they are
// made for, even when a few are used in one line.
template <std::size_t Count, std::size_t Size>
class RotatingBuffers {
 public:
  char* Next() { return buffers_[next_.fetch_add(1, std::memory_order_relaxed) % Count]; }
  static constexpr std::size_t kSize = Size;

 private:
  char buffers_[Count][Size] = {};
  std::atomic<unsigned> next_{0};
};

RotatingBuffers<8, 100> g_statusTexts;
RotatingBuffers<16, 50> g_sampleTimes;
RotatingBuffers<4, 39> g_formatNames;

}  // namespace

void detail::TraceWrite(const char* format, ...) {
  const std::uint32_t flags = detail::traceFlags;
  if ((flags & kTraceOn) == 0 || format == nullptr) return;
  char text[kTraceLineCapacity];
  va_list args;
  va_start(args, format);
  const int formatted = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (formatted < 0) return;

  LineDecoration decoration;
  Stamp stamp;
  if (TakesPrefix(text)) {
    if (flags & kTraceTimeStamp) {
      stamp = ThisModule().NextStamp();
      decoration.pause = stamp.pause;
      decoration.stamp = stamp.text;
    }
    if (flags & kTraceHandleCount) {
      DWORD count = 0;
      decoration.withHandleCount = true;
      decoration.handleCount = GetProcessHandleCount(GetCurrentProcess(), &count) ? static_cast<long>(count) : -1;
    }
    if (flags & kTraceThreadId) {
      decoration.withThreadId = true;
      decoration.threadId = GetCurrentThreadId();
    }
  }
  char line[kTraceLineCapacity];
  const std::size_t length = BuildTraceLine(text, decoration, line, sizeof line);

  if (flags & kTraceToDebugger) OutputDebugStringA(line);
  if (flags & kTraceToFile) {
    if (SharedWriter* writer = ThisModule().Attach()) AppendLine(writer, line, length, &detail::traceFlags);
  } else if (flags & kTraceToDebugger) {
    Sleep(0);  // let a debugger that is reading keep up
  }
}

const char* StatusName(HRESULT code) {
  if (!TracingEnabled()) return "";
  return StatusCodeText(static_cast<std::uint32_t>(code), g_statusTexts.Next(), g_statusTexts.kSize);
}

const char* SampleTimeText(IMediaSample* sample) {
  if (!TracingEnabled()) return "";
  if (sample == nullptr) return "NULL";
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT hr = sample->GetTime(&start, &stop);
  char* out = g_sampleTimes.Next();
  FormatSampleTime(hr, start, out, g_sampleTimes.kSize);
  return out;
}

const char* TimeFormatName(const GUID* format) {
  if (!TracingEnabled()) return "";
  static_assert(sizeof(GUID) == sizeof(GuidBytes), "GUID layout");
  return TimeFormatText(reinterpret_cast<const GuidBytes*>(format), g_formatNames.Next(), g_formatNames.kSize);
}

void CloseTraceLog() { ThisModule().Close(); }

std::uint32_t TraceFlags() { return detail::traceFlags; }
void SetTraceFlags(std::uint32_t flags) { detail::traceFlags = flags; }
void SetTraceFile(const wchar_t* path) { ThisModule().SetPath(path); }

}  // namespace ovl::diag

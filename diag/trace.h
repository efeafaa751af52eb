#pragma once
// The module's trace log. Trace("\nSomething %d", n) writes a line when the
// module's trace flags turn tracing on (see diag/core/trace_flags.h and the
// README's "Trace log"); with the shipped flags a call is one bit test and
// the naming functions return "".
#include <windows.h>

#include <cstdint>

#include "diag/core/trace_gate.h"

struct IMediaSample;

namespace ovl::diag {

// Texts for trace lines and messages; "" while tracing is off. Each comes
// from a small rotating set of static buffers: use it at once.
const char* StatusName(HRESULT code);
const char* SampleTimeText(IMediaSample* sample);
const char* TimeFormatName(const GUID* format);

// A sample's tag in streaming lines: the low 12 bits of its address, enough
// to follow one sample from line to line.
inline unsigned SampleTag(const void* sample) {
  return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(sample) & 0xFFF);
}

// Releases this module's hold on the shared log writer, writing out what is
// pending; a later traced line attaches again. DllCanUnloadNow calls it
// before answering S_OK; module unload does the same for good.
void CloseTraceLog();

// The flags word and the log path are set once when the module loads (from
// the environment or the registry). These let a host or a test change them;
// changing the path closes the log first.
std::uint32_t TraceFlags();
void SetTraceFlags(std::uint32_t flags);
void SetTraceFile(const wchar_t* path);

}  // namespace ovl::diag

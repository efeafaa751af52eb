#pragma once
// The trace lines registration writes. The module's trace log is not linked
// into this build yet: lines are dropped, tracing counts as disabled and no
// status name is known, which is what a module with tracing off shows anyway.
#include <windows.h>

namespace ovl::server {

inline void Trace(const char* /*format*/, ...) {}
inline bool TracingEnabled() { return false; }
// The symbolic name of a status code for user messages; empty while tracing is off.
inline const char* StatusName(HRESULT /*code*/) { return ""; }
// Forgets the trace file, so that a later line opens it again (module unload).
inline void CloseTraceFile() {}

}  // namespace ovl::server

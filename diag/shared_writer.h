#pragma once
// The log writer that all modules of a process tracing to one path share:
// it lives on the process heap, collects lines and writes them to the file
// from a 500 ms timer, at most once per tick and never within 51 ms of the
// previous write. Its layout is shared by every module that attaches.
#include <windows.h>

#include <cstddef>

class CHeapBuffer;

namespace ovl::diag {

struct SharedWriter {
  CRITICAL_SECTION lock;       // guards pending, the timer fields
  CHeapBuffer* pending;        // text not yet written; owned by the writer
  ULONGLONG lastWriteTick;     // GetTickCount64 at the last file write
  volatile LONG references;    // attached modules
  HANDLE timerQueue;
  HANDLE timer;
  const void* timerOwner;      // the module whose code the timer runs
  volatile LONG flushing;      // non-zero while a flush writes
  volatile LONG firstAttempt;  // 1 until the directory fallback was used
  wchar_t path[MAX_PATH];      // the file written, after any fallback
};

// A new writer for `path` with no references, or null when memory runs out.
SharedWriter* CreateSharedWriter(const wchar_t* path);

// Appends a line with every line end written as CR LF, and starts the flush
// timer (run by `owner`'s code) if none runs. Drops the line when memory runs out.
void AppendLine(SharedWriter* writer, const char* line, std::size_t length, const void* owner);

// Drops one reference: writes out what is pending, stops the timer if
// `owner` runs it, and frees the writer with its last reference. Waits at
// most about a second for anything. Returns true when the writer was freed.
// `unloading`: the owner's module is being unloaded, under the loader lock,
// where waiting for the timer's thread to end could wait for ever.
bool ReleaseSharedWriter(SharedWriter* writer, const void* owner, bool unloading);

}  // namespace ovl::diag

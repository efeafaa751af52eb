#include "diag/shared_writer.h"

#include <cwchar>
#include <new>

#include "diag/core/line_ends.h"
#include "diag/log_file.h"
#include "persistence/core/rk_buffer.h"

namespace ovl::diag {
namespace {

constexpr DWORD kFlushPeriodMs = 500;
constexpr ULONGLONG kMinimumWriteGapMs = 51;
constexpr DWORD kMostWaitMs = 1000;

void WriteOut(SharedWriter* writer, CBaseBuffer& text) {
  if (text.Length() == 0) return;
  WriteToLogFile(*writer, text.Data(), text.Length());
  writer->lastWriteTick = GetTickCount64();
}

// Timer callback: moves the pending text out under the lock and writes it
// outside, skipping the tick while another flush runs or the last write was
// too recent.
void CALLBACK FlushTick(void* parameter, BOOLEAN) {
  auto* writer = static_cast<SharedWriter*>(parameter);
  if (InterlockedIncrement(&writer->flushing) != 1) {
    InterlockedDecrement(&writer->flushing);
    return;
  }
  CHeapBuffer text;
  EnterCriticalSection(&writer->lock);
  if (writer->pending != nullptr && writer->pending->Length() > 0 &&
      GetTickCount64() - writer->lastWriteTick >= kMinimumWriteGapMs) {
    writer->pending->Swap(&text);
  }
  LeaveCriticalSection(&writer->lock);
  WriteOut(writer, text);
  InterlockedDecrement(&writer->flushing);
}

// Called under the writer's lock, so two appending threads never both make
// a queue for the same writer.
void StartFlushTimer(SharedWriter* writer, const void* owner) {
  HANDLE queue = CreateTimerQueue();
  if (queue == nullptr) return;
  HANDLE timer = nullptr;
  if (!CreateTimerQueueTimer(&timer, queue, FlushTick, writer, kFlushPeriodMs, kFlushPeriodMs, WT_EXECUTEDEFAULT)) {
    DeleteTimerQueueEx(queue, nullptr);
    return;
  }
  writer->timerQueue = queue;
  writer->timer = timer;
  writer->timerOwner = owner;
}

// Deletes a timer queue and waits at most a second for a running callback.
// After a timeout the event is left open: the system may still signal it.
// Under the loader lock it does not wait: ending the timer's thread needs
// that lock (Wine waits for the thread even when given an event).
void DeleteQueue(HANDLE queue, bool unloading) {
  if (unloading) {
    DeleteTimerQueueEx(queue, nullptr);
    return;
  }
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (done == nullptr) {
    DeleteTimerQueueEx(queue, nullptr);
    return;
  }
  DeleteTimerQueueEx(queue, done);
  if (WaitForSingleObject(done, kMostWaitMs) == WAIT_OBJECT_0) CloseHandle(done);
}

bool LockWithin(CRITICAL_SECTION* lock, DWORD ms) {
  for (DWORD waited = 0;; waited += 100) {
    if (TryEnterCriticalSection(lock)) return true;
    if (waited >= ms) return false;
    Sleep(100);
  }
}

}  // namespace

SharedWriter* CreateSharedWriter(const wchar_t* path) {
  void* memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SharedWriter));
  if (memory == nullptr) return nullptr;
  auto* writer = static_cast<SharedWriter*>(memory);
  InitializeCriticalSection(&writer->lock);
  writer->firstAttempt = 1;
  writer->lastWriteTick = GetTickCount64();
  wcsncpy(writer->path, path, MAX_PATH - 1);
  return writer;
}

void AppendLine(SharedWriter* writer, const char* line, std::size_t length, const void* owner) {
  EnterCriticalSection(&writer->lock);
  if (writer->pending == nullptr) {
    try {
      writer->pending = new CHeapBuffer();
    } catch (const std::bad_alloc&) {
      // No memory: the line is dropped.
    }
  }
  if (writer->pending != nullptr) {
    const std::uint32_t before = writer->pending->Length();
    // A line that does not fit whole is dropped whole.
    if (!AppendWithCrLf(*writer->pending, line, length)) writer->pending->SetLength(before);
    if (writer->timerQueue == nullptr) StartFlushTimer(writer, owner);
  }
  LeaveCriticalSection(&writer->lock);
}

bool ReleaseSharedWriter(SharedWriter* writer, const void* owner, bool unloading) {
  const LONG left = InterlockedDecrement(&writer->references);
  if (LockWithin(&writer->lock, kMostWaitMs)) {
    CHeapBuffer text;
    HANDLE queue = nullptr;
    if (writer->pending != nullptr) {
      writer->pending->Swap(&text);
      delete writer->pending;
      writer->pending = nullptr;
    }
    if (writer->timerOwner == owner) {
      queue = writer->timerQueue;
      writer->timerQueue = nullptr;
      writer->timer = nullptr;
      writer->timerOwner = nullptr;
    }
    LeaveCriticalSection(&writer->lock);
    if (queue != nullptr) DeleteQueue(queue, unloading);
    // Let a flush that is writing finish first, so the file keeps the order.
    for (DWORD waited = 0; writer->flushing != 0 && waited < kMostWaitMs; waited += 10) Sleep(10);
    WriteOut(writer, text);
  }
  if (left != 0) return false;
  // Last reference: lines that arrived meanwhile go out, then the writer goes.
  if (writer->pending != nullptr) {
    WriteOut(writer, *writer->pending);
    delete writer->pending;
  }
  DeleteCriticalSection(&writer->lock);
  HeapFree(GetProcessHeap(), 0, writer);
  return true;
}

}  // namespace ovl::diag

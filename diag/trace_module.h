#pragma once
// This module's side of the trace log: its lock, its log path, its handle on
// the shared slot and the writer it attached to, and the time-stamp clock.
// One static object per module; set up before DllMain, torn down at unload.
#include <windows.h>

#include <atomic>

#include "diag/core/trace_stamp.h"

namespace ovl::diag {

struct SharedWriter;

class ModuleTrace {
 public:
  ModuleTrace();   // reads the switch: environment, else registry
  ~ModuleTrace();  // unload: closes the log for good

  // The writer this module appends to, attaching on first use; null when
  // none can be had or the module is unloading.
  SharedWriter* Attach();
  void Close();
  void SetPath(const wchar_t* path);
  Stamp NextStamp();

  ModuleTrace(const ModuleTrace&) = delete;
  ModuleTrace& operator=(const ModuleTrace&) = delete;

 private:
  void ReadSwitch();
  void Release(bool unloading);

  CRITICAL_SECTION lock_;
  HANDLE slot_ = nullptr;
  std::atomic<SharedWriter*> writer_{nullptr};
  std::atomic<bool> closing_{false};
  wchar_t path_[MAX_PATH] = L"c:\\TERNTrace.txt";

  CRITICAL_SECTION clockLock_;
  bool clockStarted_ = false;
  std::uint32_t baseMsOfDay_ = 0;
  LARGE_INTEGER counterStart_{};
  LARGE_INTEGER counterFrequency_{};
  ULONGLONG tickStart_ = 0;
  StampSequence stamps_;
};

// The module's one instance.
ModuleTrace& ThisModule();

}  // namespace ovl::diag

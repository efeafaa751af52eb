#pragma once
// The named 16-byte shared block through which the modules of one process
// that trace to the same path find their common writer: bytes 0-7 hold the
// writer's address, bytes 8-11 a spin counter used as a lock.
#include <windows.h>

namespace ovl::diag {

struct SharedWriter;

struct SlotLayout {
  SharedWriter* volatile writer;
  volatile LONG spin;
  LONG spare;
};
static_assert(sizeof(SlotLayout) == 16, "the slot is shared with other modules: its layout is fixed");

// Creates or opens the slot of this process and `path`; null on failure.
HANDLE OpenSharedSlot(const wchar_t* path);

// A mapped view of the slot, with its spin lock taken for the view's life.
class LockedSlot {
 public:
  // Waits at most `timeoutMs` for the lock; check Held().
  LockedSlot(HANDLE slot, DWORD timeoutMs);
  ~LockedSlot();
  bool Mapped() const { return view_ != nullptr; }
  bool Held() const { return held_; }
  SlotLayout* operator->() const { return view_; }

  LockedSlot(const LockedSlot&) = delete;
  LockedSlot& operator=(const LockedSlot&) = delete;

 private:
  SlotLayout* view_ = nullptr;
  bool held_ = false;
};

}  // namespace ovl::diag

#include "diag/shared_slot.h"

#include <cwchar>
#include <string>

namespace ovl::diag {

HANDLE OpenSharedSlot(const wchar_t* path) {
  // "%08X.%d.%s": process id, the family's slot number, the path with "/"
  // for "\" (backslashes would name a kernel object directory).
  wchar_t head[32];
  std::swprintf(head, 32, L"%08X.%d.", static_cast<unsigned>(GetCurrentProcessId()), 642);
  std::wstring name = head;
  name += path;
  for (wchar_t& c : name) {
    if (c == L'\\') c = L'/';
  }
  return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SlotLayout), name.c_str());
}

LockedSlot::LockedSlot(HANDLE slot, DWORD timeoutMs) {
  if (slot == nullptr) return;
  view_ = static_cast<SlotLayout*>(MapViewOfFile(slot, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SlotLayout)));
  if (view_ == nullptr) return;
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    if (InterlockedIncrement(&view_->spin) == 1) {
      held_ = true;
      return;
    }
    InterlockedDecrement(&view_->spin);
    if (GetTickCount64() - start >= timeoutMs) return;
    Sleep(10);
  }
}

LockedSlot::~LockedSlot() {
  if (view_ == nullptr) return;
  if (held_) InterlockedDecrement(&view_->spin);
  UnmapViewOfFile(view_);
}

}  // namespace ovl::diag

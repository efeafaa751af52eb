// The help-window hook: while a page is shown, F1 anywhere in the property
// frame must open the filter's help, so the page subclasses the frame window
// (its dialog's parent) and answers the frame's WM_HELP.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "ui/help_launch.h"
#include "ui/modal_seam.h"

namespace ovl::ui {
namespace {

// Stored in the frame's user data while the hook is on. The tag tells our
// record from whatever else a frame keeps there.
struct HookRecord {
  char tag[4];
  char displayName[260];
  HWND page;
  WNDPROC previousProc;
  LONG_PTR previousUserData;
  unsigned family;
};

constexpr char kTag[4] = {'T', 'E', 'R', 'N'};

// The frame's user data may be anything of the frame's own, so it is only
// read as a record once it is known to be one we allocated. A frame and its
// pages live on one thread, but two frames may run on two threads.
struct LiveRecords {
  CRITICAL_SECTION lock;
  std::vector<HookRecord*> records;
  LiveRecords() { InitializeCriticalSection(&lock); }

  bool Add(HookRecord* record) {
    EnterCriticalSection(&lock);
    bool added = true;
    try {
      records.push_back(record);
    } catch (const std::bad_alloc&) {
      added = false;
    }
    LeaveCriticalSection(&lock);
    return added;
  }
  bool Contains(const void* candidate) {
    EnterCriticalSection(&lock);
    const bool found = std::find(records.begin(), records.end(), candidate) != records.end();
    LeaveCriticalSection(&lock);
    return found;
  }
  void Remove(HookRecord* record) {
    EnterCriticalSection(&lock);
    records.erase(std::remove(records.begin(), records.end(), record), records.end());
    LeaveCriticalSection(&lock);
  }
};

LiveRecords& Live() {
  static LiveRecords live;
  return live;
}

HookRecord* RecordOf(HWND frame) {
  auto* candidate = reinterpret_cast<HookRecord*>(GetWindowLongPtrW(frame, GWLP_USERDATA));
  if (!Live().Contains(candidate) || std::memcmp(candidate->tag, kTag, sizeof(kTag)) != 0) return nullptr;
  return candidate;
}

void Unhook(HWND frame, HookRecord* record) {
  SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record->previousProc));
  SetWindowLongPtrW(frame, GWLP_USERDATA, record->previousUserData);
  Live().Remove(record);
  delete record;
}

LRESULT CALLBACK HelpHookProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  HookRecord* record = RecordOf(frame);
  if (record == nullptr) return DefWindowProcW(frame, message, wParam, lParam);
  if (message == WM_HELP) {
    if (LaunchHelp(record->displayName, record->family) != 0) {
      ShowMessageBox(nullptr, "Can't find help file.", record->displayName, MB_OK);
    }
    return TRUE;
  }
  const WNDPROC previous = record->previousProc;
  // A frame destroyed with a page still active takes its record with it.
  if (message == WM_NCDESTROY) Unhook(frame, record);
  return CallWindowProcW(previous, frame, message, wParam, lParam);
}

}  // namespace

HRESULT InstallHelpHook(HWND page, const char* displayName, unsigned family) {
  const HWND frame = page != nullptr ? GetParent(page) : nullptr;
  if (frame == nullptr) return E_INVALIDARG;
  if (RecordOf(frame) != nullptr) return S_FALSE;
  auto* record = new (std::nothrow) HookRecord{};
  if (record == nullptr) return E_OUTOFMEMORY;
  std::memcpy(record->tag, kTag, sizeof(kTag));
  if (displayName != nullptr) {
    std::strncpy(record->displayName, displayName, sizeof(record->displayName) - 1);
  }
  record->page = page;
  record->family = family;
  if (!Live().Add(record)) {
    delete record;
    return E_OUTOFMEMORY;
  }
  record->previousUserData = SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
  record->previousProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HelpHookProc)));
  return S_OK;
}

void RemoveHelpHook(HWND page) {
  const HWND frame = page != nullptr ? GetParent(page) : nullptr;
  if (frame == nullptr) return;
  if (HookRecord* record = RecordOf(frame)) Unhook(frame, record);
}

}  // namespace ovl::ui

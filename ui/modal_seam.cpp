#include "ui/modal_seam.h"

#include <shellapi.h>

namespace ovl::ui {
namespace {

int PlatformMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  return MessageBoxA(owner, text, caption, type);
}
BOOL PlatformChooseColor(CHOOSECOLORA* choice) { return ChooseColorA(choice); }
BOOL PlatformGetOpenFileName(OPENFILENAMEA* choice) { return GetOpenFileNameA(choice); }
HINSTANCE PlatformShellExecute(HWND owner, const char* verb, const char* file, const char* parameters,
                               const char* directory, int show) {
  return ShellExecuteA(owner, verb, file, parameters, directory, show);
}

// Read by window threads and by a graph's thread (a failed reconnection).
SRWLOCK g_lock = SRWLOCK_INIT;
ModalCalls g_calls = PlatformModalCalls();

}  // namespace

ModalCalls PlatformModalCalls() {
  return {PlatformMessageBox, PlatformChooseColor, PlatformGetOpenFileName, PlatformShellExecute, PlatformHtmlHelp};
}

ModalCalls CurrentModalCalls() {
  AcquireSRWLockShared(&g_lock);
  const ModalCalls calls = g_calls;
  ReleaseSRWLockShared(&g_lock);
  return calls;
}

ModalCalls SetModalCalls(const ModalCalls& calls) {
  AcquireSRWLockExclusive(&g_lock);
  const ModalCalls previous = g_calls;
  g_calls = calls;
  ReleaseSRWLockExclusive(&g_lock);
  return previous;
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  return CurrentModalCalls().messageBox(owner, text, caption, type);
}
BOOL ChooseColorModal(CHOOSECOLORA* choice) { return CurrentModalCalls().chooseColor(choice); }
BOOL GetOpenFileNameModal(OPENFILENAMEA* choice) { return CurrentModalCalls().getOpenFileName(choice); }
HINSTANCE ShellExecuteCall(HWND owner, const char* verb, const char* file, const char* parameters,
                           const char* directory, int show) {
  return CurrentModalCalls().shellExecute(owner, verb, file, parameters, directory, show);
}
HWND HtmlHelpCall(HWND owner, const char* file, UINT command, DWORD_PTR data) {
  return CurrentModalCalls().htmlHelp(owner, file, command, data);
}

}  // namespace ovl::ui

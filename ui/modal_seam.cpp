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

// Window threads only (the pages and their frame), so no lock.
ModalCalls g_calls = PlatformModalCalls();

}  // namespace

ModalCalls PlatformModalCalls() {
  return {PlatformMessageBox, PlatformChooseColor, PlatformGetOpenFileName, PlatformShellExecute, PlatformHtmlHelp};
}

ModalCalls CurrentModalCalls() { return g_calls; }

ModalCalls SetModalCalls(const ModalCalls& calls) {
  const ModalCalls previous = g_calls;
  g_calls = calls;
  return previous;
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  return g_calls.messageBox(owner, text, caption, type);
}
BOOL ChooseColorModal(CHOOSECOLORA* choice) { return g_calls.chooseColor(choice); }
BOOL GetOpenFileNameModal(OPENFILENAMEA* choice) { return g_calls.getOpenFileName(choice); }
HINSTANCE ShellExecuteCall(HWND owner, const char* verb, const char* file, const char* parameters,
                           const char* directory, int show) {
  return g_calls.shellExecute(owner, verb, file, parameters, directory, show);
}
HWND HtmlHelpCall(HWND owner, const char* file, UINT command, DWORD_PTR data) {
  return g_calls.htmlHelp(owner, file, command, data);
}

}  // namespace ovl::ui

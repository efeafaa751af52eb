#pragma once
// Every modal window and outside launch of the module goes through this one
// table: message boxes (the pages', the filter's failed reconnection, a
// failed type library registration), the colour chooser, the open-file
// chooser, the shell's "open" and HTML Help. The defaults make the platform
// calls; a test installs its own entries to observe and answer them, so a
// modal loop never blocks an automated run.
#include <windows.h>
#include <commdlg.h>

namespace ovl::ui {

struct ModalCalls {
  int (*messageBox)(HWND owner, const char* text, const char* caption, UINT type);
  BOOL (*chooseColor)(CHOOSECOLORA* choice);
  BOOL (*getOpenFileName)(OPENFILENAMEA* choice);
  // ShellExecuteA: a result above 32 is success.
  HINSTANCE (*shellExecute)(HWND owner, const char* verb, const char* file, const char* parameters,
                            const char* directory, int show);
  // HtmlHelpA of the HTML Help control.
  HWND (*htmlHelp)(HWND owner, const char* file, UINT command, DWORD_PTR data);
};

// The platform's calls.
ModalCalls PlatformModalCalls();
// The calls in use; SetModalCalls returns the previous table.
ModalCalls CurrentModalCalls();
ModalCalls SetModalCalls(const ModalCalls& calls);

// HTML Help through the binding to the HTML Help control (help launcher).
HWND PlatformHtmlHelp(HWND owner, const char* file, UINT command, DWORD_PTR data);

// Shorthands through the table in use.
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);
BOOL ChooseColorModal(CHOOSECOLORA* choice);
BOOL GetOpenFileNameModal(OPENFILENAMEA* choice);
HINSTANCE ShellExecuteCall(HWND owner, const char* verb, const char* file, const char* parameters,
                           const char* directory, int show);
HWND HtmlHelpCall(HWND owner, const char* file, UINT command, DWORD_PTR data);

}  // namespace ovl::ui

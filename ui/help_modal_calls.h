#pragma once
// PROVISIONAL: the shell and HTML Help calls of the help launcher until the
// shared modal-window seam lands.
#include <windows.h>

namespace ovl::ui {
// The shell's answer (above 32: success).
INT_PTR ShellOpen(const char* target);
bool ShowHtmlHelp(const char* topic);
void ShowMessage(const char* text, const char* caption);
}  // namespace ovl::ui

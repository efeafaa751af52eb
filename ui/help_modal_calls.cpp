#include "ui/help_modal_calls.h"

#include <shellapi.h>

#include "ui/html_help_binding.h"

namespace ovl::ui {
INT_PTR ShellOpen(const char* target) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target, nullptr, "", SW_SHOW));
}
bool ShowHtmlHelp(const char* topic) { return DisplayHtmlHelpTopic(topic); }
void ShowMessage(const char* text, const char* caption) { MessageBoxA(nullptr, text, caption, MB_OK); }
}  // namespace ovl::ui

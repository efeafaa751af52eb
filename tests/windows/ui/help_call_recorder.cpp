#include "tests/windows/ui/help_call_recorder.h"

#include <htmlhelp.h>

#include "ui/modal_seam.h"

namespace ovl::testing {
namespace {

HelpCallRecorder* g_recorder = nullptr;

int RecordBox(HWND owner, const char* text, const char* caption, UINT) {
  g_recorder->log.push_back(std::string(owner == nullptr ? "box " : "box? ") + (caption ? caption : "(null)") + ": " +
                            (text ? text : "(null)"));
  return IDOK;
}

HINSTANCE RecordShell(HWND, const char* verb, const char* file, const char* parameters, const char* directory,
                      int show) {
  const std::string target = file != nullptr ? file : "(null)";
  const bool plain = verb != nullptr && std::string(verb) == "open" && parameters == nullptr &&
                     directory != nullptr && *directory == '\0' && show == SW_SHOW;
  g_recorder->log.push_back(plain ? "shell " + target : "shell? " + std::string(verb ? verb : "(null)") + " " + target);
  const bool web = target.rfind("http", 0) == 0;
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(!web || g_recorder->browserPresent ? 42 : SE_ERR_NOASSOC));
}

HWND RecordHtmlHelp(HWND owner, const char* file, UINT command, DWORD_PTR data) {
  const std::string target = file != nullptr ? file : "(null)";
  if (owner == GetDesktopWindow() && command == HH_DISPLAY_TOPIC && data == 0) {
    g_recorder->log.push_back("html help " + target);
  } else {
    g_recorder->log.push_back("html help? " + std::to_string(command) + " " + target);
  }
  return nullptr;
}

ovl::ui::ModalCalls g_previous{};

}  // namespace

HelpCallRecorder::HelpCallRecorder() {
  g_recorder = this;
  ovl::ui::ModalCalls calls = ovl::ui::CurrentModalCalls();
  calls.messageBox = RecordBox;
  calls.shellExecute = RecordShell;
  calls.htmlHelp = RecordHtmlHelp;
  g_previous = ovl::ui::SetModalCalls(calls);
}

HelpCallRecorder::~HelpCallRecorder() {
  ovl::ui::SetModalCalls(g_previous);
  g_recorder = nullptr;
}

std::vector<std::string> HelpCallRecorder::Lines(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

}  // namespace ovl::testing

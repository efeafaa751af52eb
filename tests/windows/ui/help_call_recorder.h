#pragma once
// Observes the pages' modal calls through the modal-window seam: while a
// recorder lives, shell launches, HTML Help and message boxes are written to
// its log instead of reaching the desktop, and answered as a user or a
// system would.
#include <windows.h>

#include <string>
#include <vector>

namespace ovl::testing {

class HelpCallRecorder {
 public:
  HelpCallRecorder();
  ~HelpCallRecorder();
  HelpCallRecorder(const HelpCallRecorder&) = delete;
  HelpCallRecorder& operator=(const HelpCallRecorder&) = delete;

  // Whether the shell accepts web addresses (a browser is there); local
  // files are always accepted.
  bool browserPresent = false;

  // One line per call:
  //   "shell <file>"           ShellExecute "open", no parameters, empty directory, SW_SHOW
  //   "shell? <verb> <file>"   any other ShellExecute
  //   "html help <file>"       HtmlHelp HH_DISPLAY_TOPIC owned by the desktop
  //   "html help? <command> <file>"  any other HtmlHelp
  //   "box <caption>: <text>"  message box without owner
  //   "box? <caption>: <text>" message box with an owner
  std::vector<std::string> log;

  // The log lines that start with `prefix`.
  std::vector<std::string> Lines(const std::string& prefix) const;
  void Clear() { log.clear(); }
};

}  // namespace ovl::testing

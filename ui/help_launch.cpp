#include "ui/help_launch.h"

#include <windows.h>
#include <htmlhelp.h>

#include <cstring>
#include <string>

#include "streaming/base/module_state.h"
#include "ui/help_names.h"
#include "ui/help_path.h"
#include "ui/modal_seam.h"
#include "ui/product_texts.h"

namespace ovl::ui {
namespace {

constexpr size_t kLongestName = 260;

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Paths this short cannot name a document; they are dropped as if shown.
bool TooShortToShow(const std::string& path) { return path.size() < 4; }

bool OpenInShell(const std::string& target) {
  if (TooShortToShow(target)) return true;
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteCall(nullptr, "open", target.c_str(), nullptr, "", SW_SHOW));
  return result > 32;
}

void ShowTopic(const std::string& topic) {
  // A missing HTML Help control shows nothing; help still counts as shown.
  if (!TooShortToShow(topic)) HtmlHelpCall(GetDesktopWindow(), topic.c_str(), HH_DISPLAY_TOPIC, 0);
}

// Drive and directory of this module's file, ending in "\".
std::string ModuleDirectory() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(ovl::module::Instance(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string directory(path, length);
  return directory.substr(0, directory.find_last_of('\\') + 1);
}

// The pages and the topic of one filter inside a help directory.
struct LocalHelp {
  std::string pageA;  // Filters\<name>.htm
  std::string pageB;  // Filters\<name>_UI.htm
  std::string topic;  // ::/Filters/<name>.htm inside the help file
  const char* helpFile;

  LocalHelp(const std::string& displayName, unsigned family)
      : pageA("Filters\\" + LocalPageName(displayName) + ".htm"),
        pageB("Filters\\" + LocalPageName(displayName) + "_UI.htm"),
        topic("::/Filters/" + LocalPageName(displayName) + ".htm"),
        helpFile(family == kTransformFamily ? "RkTransforms.chm" : "rkfilters.chm") {}

  // Shows the help file or one of the pages in `directory`, if there.
  bool ShowFrom(const std::string& directory, bool withHelpFile) const {
    if (withHelpFile && FileExists(directory + helpFile)) {
      ShowTopic(directory + helpFile + topic);
      return true;
    }
    for (const std::string* page : {&pageA, &pageB}) {
      if (FileExists(directory + *page)) {
        OpenInShell(directory + *page);
        return true;
      }
    }
    return false;
  }
};

}  // namespace

int LaunchHelp(const char* displayName, unsigned family) {
  if (displayName == nullptr || *displayName == '\0') return -3;
  const size_t length = strnlen(displayName, kLongestName + 1);
  std::string name(displayName, length);
  if (family == kTransformFamily) name = WithoutFamilyMarker(name);
  // Other filters of the family share a help name; this one has its own.

  if (length <= kLongestName) {
    const char* section = family == kTransformFamily ? "/multimedia/transforms/" : "/multimedia/filters/";
    const std::string address =
        std::string(OVL_ONLINE_HELP_SITE) + "/help/sdk/" + "v23" + section + OnlinePageName(name) + ".html";
    // Offline or without a browser the shell refuses: fall through to local help.
    if (OpenInShell(address)) return 0;
  }
  if (length > kLongestName) return -2;

  const LocalHelp help(name, family);
  std::string helpPath;
  if (!ReadHelpPath(helpPath)) return -3;
  for (const std::string& directory : HelpDirectories(helpPath)) {
    if (help.ShowFrom(directory, true)) return 0;
  }
  const std::string moduleDirectory = ModuleDirectory();
  if (!moduleDirectory.empty() && help.ShowFrom(moduleDirectory, false)) return 0;

  const std::string text = "The following help files were not found in the help path(s): \n\n- ...\\" + help.pageA +
                           "\n- ...\\" + help.pageB + "\n- ...\\" + help.helpFile + "\n";
  ShowMessageBox(nullptr, text.c_str(), name.c_str(), MB_OK);
  return -1;
}

}  // namespace ovl::ui

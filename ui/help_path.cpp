#include "ui/help_path.h"

#include <windows.h>

#include <algorithm>

namespace ovl::ui {

bool ReadHelpPath(std::string& value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHelpPathKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD bytes = 0;
  LONG status = RegQueryValueExA(key, kHelpPathValue, nullptr, &type, nullptr, &bytes);
  std::string text;
  if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
    text.resize(bytes + 1);
    status = RegQueryValueExA(key, kHelpPathValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&text[0]), &bytes);
  } else if (status == ERROR_SUCCESS) {
    status = ERROR_INVALID_DATA;  // not text
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  text.resize(std::min<size_t>(bytes, text.size()));
  const size_t end = text.find('\0');
  if (end != std::string::npos) text.resize(end);
  constexpr size_t kMostRead = 2600 - 1;  // bytes, the terminator included
  if (text.size() > kMostRead) text.resize(kMostRead);
  value = text;
  return true;
}

std::vector<std::string> HelpDirectories(const std::string& value) {
  std::vector<std::string> directories;
  size_t start = 0;
  while (start < value.size()) {
    size_t end = value.find(';', start);
    if (end == std::string::npos) end = value.size();
    std::string directory = value.substr(start, end - start);
    if (!directory.empty()) {
      if (directory.back() != '\\') directory += '\\';
      directories.push_back(directory);
    }
    start = end + 1;
  }
  return directories;
}

}  // namespace ovl::ui

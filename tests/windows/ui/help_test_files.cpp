#include "tests/windows/ui/help_test_files.h"

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <sstream>

namespace ovl::testing {
namespace {
constexpr char kHelpKey[] = "SOFTWARE\\Tern Systems, Inc.\\DShow\\Help";
}

ScratchFolder::ScratchFolder(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  path_ = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
  std::string from = path_;
  from.push_back('\0');  // the shell wants a double-terminated list
  SHFILEOPSTRUCTA operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&operation);
}

std::string ScratchFolder::Write(const std::string& relative, const std::string& content) const {
  const std::string full = path_ + "\\" + relative;
  for (size_t at = full.find('\\', path_.size() + 1); at != std::string::npos; at = full.find('\\', at + 1)) {
    CreateDirectoryA(full.substr(0, at).c_str(), nullptr);
  }
  std::ofstream(full, std::ios::binary) << content;
  return full;
}

HelpPathSetting::HelpPathSetting(const char* value) {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHelpKey);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHelpKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  if (value != nullptr) {
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
  }
  RegCloseKey(key);
}

HelpPathSetting::~HelpPathSetting() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHelpKey); }

std::string ProgramFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace ovl::testing

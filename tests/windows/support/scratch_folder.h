#pragma once
// Files the tests put in place and read back: a scratch folder under the
// temp folder (removed with its content afterwards), whole-file reads and
// the test program's own folder.
#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <sstream>
#include <string>

namespace ovl::testing {

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    std::string from = path_;
    from.push_back('\0');  // the shell wants a double-terminated list
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&operation);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }  // no trailing backslash
  // Writes `relative` (folders created as needed); returns its full path.
  std::string Write(const std::string& relative, const std::string& content = "help") const {
    const std::string full = path_ + "\\" + relative;
    for (size_t at = full.find('\\', path_.size() + 1); at != std::string::npos; at = full.find('\\', at + 1)) {
      CreateDirectoryA(full.substr(0, at).c_str(), nullptr);
    }
    std::ofstream(full, std::ios::binary) << content;
    return full;
  }

 private:
  std::string path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The folder of this test program, ending in "\".
inline std::string ProgramFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string program(path);
  return program.substr(0, program.find_last_of('\\') + 1);
}

}  // namespace ovl::testing

#pragma once
// Files and settings the help tests put in place: a scratch folder of help
// directories and the help-path setting, both removed again afterwards.
#include <string>

namespace ovl::testing {

// A fresh folder under the temp folder, removed with its content at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // "<temp>\<name>" without a trailing backslash.
  const std::string& Path() const { return path_; }
  // Writes `relative` (folders created as needed); returns its full path.
  std::string Write(const std::string& relative, const std::string& content = "help") const;

 private:
  std::string path_;
};

// Sets HKLM "SOFTWARE\Tern Systems, Inc.\DShow\Help" "Path" for its lifetime
// (nullptr: the value is missing); the key is deleted afterwards.
class HelpPathSetting {
 public:
  explicit HelpPathSetting(const char* value);
  ~HelpPathSetting();
  HelpPathSetting(const HelpPathSetting&) = delete;
  HelpPathSetting& operator=(const HelpPathSetting&) = delete;
};

// The folder of this test program, ending in "\".
std::string ProgramFolder();
std::string ReadWholeFile(const std::string& path);

}  // namespace ovl::testing

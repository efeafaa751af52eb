#pragma once
// Helpers of the trace-log tests: a fresh scratch directory per test, whole
// files as bytes, and this program's tracing switched on for one test.
#include <windows.h>

#include <cstdint>
#include <string>

namespace ovl::testing {

// A new empty directory under the temporary directory.
std::wstring ScratchDirectory(const wchar_t* name);

// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

int CountOf(const std::string& text, const std::string& part);

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// Traces this program's own lines to `path` with `flags` for its lifetime;
// closes the log and restores the shipped flags at the end.
class TracingTo {
 public:
  TracingTo(const std::wstring& path, std::uint32_t flags);
  ~TracingTo();
};

}  // namespace ovl::testing

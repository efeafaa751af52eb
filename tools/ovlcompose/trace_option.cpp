#include "tools/ovlcompose/trace_option.h"

#include <windows.h>

#include "diag/core/trace_switch.h"

namespace ovlcompose {

bool TraceModuleTo(const std::wstring& file, std::wstring& error) {
  wchar_t full[MAX_PATH];
  const DWORD n = GetFullPathNameW(file.c_str(), MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) {
    error = L"--trace: unusable path " + file;
    return false;
  }
  // A log of this run alone: the module appends to what it finds.
  if (!DeleteFileW(full) && GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND) {
    error = L"--trace: cannot replace " + std::wstring(full);
    return false;
  }
  std::wstring folder(full);
  folder.resize(folder.find_last_of(L'\\'));
  CreateDirectoryW(folder.c_str(), nullptr);
  wchar_t flags[16];
  wsprintfW(flags, L"0x%02X", ovl::diag::kUsualTraceFlags);
  SetEnvironmentVariableW(ovl::diag::kTraceFlagsVariable, flags);
  SetEnvironmentVariableW(ovl::diag::kTracePathVariable, full);
  return true;
}

}  // namespace ovlcompose

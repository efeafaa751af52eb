#include "diag/log_file.h"

#include <windows.h>

#include <cwchar>

#include "diag/shared_writer.h"

namespace ovl::diag {
namespace {

// When the path itself may not be created but a directory of that name can
// be (or exists), the log moves into it: <path>\<file name of path>.
bool MoveIntoDirectoryOfTheSameName(SharedWriter& writer) {
  DWORD attributes = GetFileAttributesW(writer.path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (!CreateDirectoryW(writer.path, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    attributes = GetFileAttributesW(writer.path);
  }
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  const wchar_t* name = writer.path;
  for (const wchar_t* p = writer.path; *p != 0; ++p) {
    if (*p == L'\\' || *p == L'/') name = p + 1;
  }
  wchar_t moved[MAX_PATH];
  const int n = std::swprintf(moved, MAX_PATH, L"%ls\\%ls", writer.path, name);
  if (n < 0 || n >= MAX_PATH) return false;
  std::wcscpy(writer.path, moved);
  return true;
}

HANDLE OpenLog(SharedWriter& writer) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    HANDLE file = CreateFileW(writer.path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && InterlockedCompareExchange(&writer.firstAttempt, 0, 1) == 1) {
      if (MoveIntoDirectoryOfTheSameName(writer)) continue;
      InterlockedExchange(&writer.firstAttempt, 1);  // not used up: nothing moved
      return INVALID_HANDLE_VALUE;
    }
    // Another process appending at this moment: try again for up to a second.
    if ((error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) && GetTickCount64() - start < 1000) {
      Sleep(1);
      continue;
    }
    return INVALID_HANDLE_VALUE;
  }
}

}  // namespace

void WriteToLogFile(SharedWriter& writer, const std::uint8_t* text, std::uint32_t length) {
  if (length == 0) return;
  HANDLE file = OpenLog(writer);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  DWORD written = 0;
  if (GetFileSizeEx(file, &size) && size.QuadPart == 0) {
    static const std::uint8_t kUtf8Mark[3] = {0xEF, 0xBB, 0xBF};
    WriteFile(file, kUtf8Mark, sizeof kUtf8Mark, &written, nullptr);
  }
  if (SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_END)) WriteFile(file, text, length, &written, nullptr);
  CloseHandle(file);
}

}  // namespace ovl::diag

#include "server/module_path.h"

#include "streaming/base/module_state.h"

namespace ovl::server {

bool ModuleFilePath(std::wstring* path) {
  // Grow the buffer until the whole name fits: a truncated path registered
  // as the server would name a file that does not exist.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(ovl::module::Instance(), buffer.data(), size);
    if (length == 0) return false;
    if (length < size) {
      buffer.resize(length);
      *path = std::move(buffer);
      return true;
    }
    if (size >= 32768) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return false;
    }
    buffer.resize(size * 2);
  }
}

}  // namespace ovl::server

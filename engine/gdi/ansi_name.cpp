#include "engine/gdi/ansi_name.h"

namespace ovl::gdi {

HResult ToAnsiFileName(const wchar_t* name, char (&ansi)[kFileNameBytes]) {
  const int needed = WideCharToMultiByte(CP_THREAD_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return kInvalidArg;
  if (needed > static_cast<int>(kFileNameBytes)) return kFileNameTooLong;
  if (WideCharToMultiByte(CP_THREAD_ACP, 0, name, -1, ansi, kFileNameBytes, nullptr, nullptr) <= 0) {
    return kInvalidArg;
  }
  return kOk;
}

}  // namespace ovl::gdi

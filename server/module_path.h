#pragma once
#include <windows.h>

#include <string>

namespace ovl::server {

// The full path of this module's file. False, with the thread's last error
// telling why, when it cannot be obtained.
bool ModuleFilePath(std::wstring* path);

}  // namespace ovl::server

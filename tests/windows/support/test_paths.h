#pragma once
// Where the Windows tests find the module under test: next to the test
// program, or where OVL_MODULE_PATH points.
#include <windows.h>

#include <string>

namespace ovl::testing {

inline std::wstring ModulePath() {
  wchar_t buffer[MAX_PATH];
  const DWORD fromEnv = GetEnvironmentVariableW(L"OVL_MODULE_PATH", buffer, MAX_PATH);
  if (fromEnv > 0 && fromEnv < MAX_PATH) return buffer;
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer);
  path.resize(path.find_last_of(L"\\/") + 1);
  return path + L"KMVVOvLy2x.dll";
}

// Wine's ntdll exports wine_get_version; a few checks of platform corners
// where Wine differs from Windows use this to say so instead of failing.
inline bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace ovl::testing

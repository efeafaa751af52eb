// The binding to the HTML Help control: HtmlHelpA is taken from the control
// on first use. Systems without the control show no HTML Help, and the
// failure to load it is remembered for the life of the process.
#include <windows.h>
#include <htmlhelp.h>

#include <string>

#include "ui/modal_seam.h"

namespace ovl::ui {
namespace {

using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

// Touched only from window threads, and loading twice is harmless: no lock.
enum class Binding { kNotTried, kLoaded, kFailed };
Binding g_binding = Binding::kNotTried;
HtmlHelpProc g_htmlHelp = nullptr;

// The registered path of the HTML Help control, environment variables
// expanded; empty when it is not registered.
std::string RegisteredControlPath() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
                    KEY_READ, &key) != ERROR_SUCCESS) {
    return {};
  }
  char value[MAX_PATH] = {};
  DWORD type = 0;
  DWORD bytes = sizeof(value) - 1;
  const LONG status = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  if (type == REG_SZ) return value;
  char expanded[MAX_PATH] = {};
  const DWORD length = ExpandEnvironmentStringsA(value, expanded, MAX_PATH);
  return length > 0 && length <= MAX_PATH ? expanded : std::string();
}

HtmlHelpProc Bind() {
  if (g_binding != Binding::kNotTried) return g_htmlHelp;
  g_binding = Binding::kFailed;
  const std::string registered = RegisteredControlPath();
  HMODULE control = registered.empty() ? nullptr : LoadLibraryA(registered.c_str());
  if (control == nullptr) control = LoadLibraryA("hhctrl.ocx");
  if (control == nullptr) return nullptr;
  // Kept loaded for the life of the process: viewer windows outlive the call.
  g_htmlHelp = reinterpret_cast<HtmlHelpProc>(reinterpret_cast<void*>(GetProcAddress(control, "HtmlHelpA")));
  if (g_htmlHelp != nullptr) g_binding = Binding::kLoaded;
  return g_htmlHelp;
}

}  // namespace

HWND PlatformHtmlHelp(HWND owner, const char* file, UINT command, DWORD_PTR data) {
  const HtmlHelpProc htmlHelp = Bind();
  return htmlHelp != nullptr ? htmlHelp(owner, file, command, data) : nullptr;
}

}  // namespace ovl::ui

#include "server/version_guard.h"

#include <vector>

#include "server/module_path.h"

namespace ovl::server {
namespace {

std::wstring ServerKeyName(REFCLSID clsid) {
  wchar_t text[40];
  StringFromGUID2(clsid, text, 40);
  return std::wstring(L"CLSID\\") + text + L"\\InprocServer32";
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION* info) {
  // No access rights are needed to ask for the identity; the file may be
  // loaded by another process.
  HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(file, info) != FALSE;
  CloseHandle(file);
  return ok;
}

// The registered server when it is an existing file other than this module;
// empty otherwise (nothing registered, unreadable, missing file, ourselves).
std::wstring OtherRegisteredFile(REFCLSID clsid) {
  std::wstring registered = RegisteredServerPath(clsid);
  if (registered.empty() || !FileExists(registered)) return {};
  std::wstring own;
  if (!ModuleFilePath(&own) || IsSameFile(registered, own)) return {};
  return registered;
}

}  // namespace

std::wstring RegisteredServerPath(REFCLSID clsid) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, ServerKeyName(clsid).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring path;
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && bytes >= sizeof(wchar_t)) {
    // One more character than reported: a stored value need not end in a terminator.
    std::vector<wchar_t> value(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) ==
        ERROR_SUCCESS) {
      path = value.data();
      if (type == REG_EXPAND_SZ) {
        wchar_t expanded[MAX_PATH * 4];
        const DWORD length = ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH * 4);
        path = (length > 0 && length <= MAX_PATH * 4) ? expanded : L"";
      }
    }
  }
  RegCloseKey(key);
  return path;
}

bool IsSameFile(const std::wstring& a, const std::wstring& b) {
  if (CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  if (!FileIdentity(a, &first) || !FileIdentity(b, &second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool ReadFileVersion(const std::wstring& path, ULONGLONG* version) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
  void* root = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", &root, &length) || root == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(root);
  if (fixed->dwSignature != 0xFEEF04BD) return false;
  *version = (static_cast<ULONGLONG>(fixed->dwFileVersionMS) << 32) | fixed->dwFileVersionLS;
  return true;
}

bool NewerVersionRegisteredElsewhere(REFCLSID clsid) {
  const std::wstring registered = OtherRegisteredFile(clsid);
  if (registered.empty()) return false;
  std::wstring own;
  ULONGLONG registeredVersion = 0;
  ULONGLONG ownVersion = 0;
  if (!ModuleFilePath(&own) || !ReadFileVersion(registered, &registeredVersion) ||
      !ReadFileVersion(own, &ownVersion)) {
    return false;
  }
  // Equal versions re-register: the newest installation wins, a tie goes to
  // whoever registers last.
  return registeredVersion > ownVersion;
}

bool RegisteredToAnotherFile(REFCLSID clsid) { return !OtherRegisteredFile(clsid).empty(); }

}  // namespace ovl::server

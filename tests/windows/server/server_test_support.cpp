#include "tests/windows/server/server_test_support.h"

#include <uuids.h>

#include "tests/windows/support/test_paths.h"

namespace ovl::testing {
namespace {

using namespace ovl::identity;

// The automation interfaces of the module's type library.
const wchar_t* const kInterfaceIds[] = {
    L"{14B262F1-19B2-4023-B971-99612C997D88}", L"{2DE2EE45-C8B2-4B65-A62B-57E661E8A449}",
    L"{6266499F-D9E0-4D9B-91F3-B4D8026BDA10}", L"{1EAA1784-AC18-47B1-BE84-88D91314D9E3}",
    L"{84312F87-2C1E-4101-B67E-02FC2882063C}", L"{8AF3C473-63F2-4C24-9C95-ED04A1F34A38}",
};

// Adds `key` below `root` (named `path` in the snapshot) with its values
// and, when `recursive`, its subkeys; otherwise only its subkeys' names.
void Walk(RegistrySnapshot& snapshot, HKEY root, const std::wstring& key, const std::wstring& path, bool recursive) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
  snapshot[path] = L"";
  static const wchar_t kDigits[] = L"0123456789abcdef";
  static std::vector<wchar_t> name(16384);  // shared: HKCR is large
  static std::vector<BYTE> data(1 << 16);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size()), type = 0, bytes = static_cast<DWORD>(data.size());
    if (RegEnumValueW(handle, index, name.data(), &nameLength, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS) {
      break;
    }
    std::wstring text = std::to_wstring(type) + L":";
    for (DWORD i = 0; i < bytes; ++i) text += {kDigits[data[i] >> 4], kDigits[data[i] & 15]};
    snapshot[path + L"|" + std::wstring(name.data(), nameLength)] = text;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t child[256];
    DWORD length = 256;
    if (RegEnumKeyExW(handle, index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (recursive) Walk(snapshot, handle, child, path + L"\\" + child, true);
    else snapshot[path + L"\\" + child] = L"";
  }
  RegCloseKey(handle);
}

std::wstring TestDirectory() {
  const std::wstring path = ModulePath();
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring CopiesDirectory() { return TestDirectory() + L"server_copies"; }

template <class Function>
void FindExport(HMODULE module, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ClassKey(REFCLSID clsid) { return L"CLSID\\" + GuidText(clsid); }
std::wstring MapperEntryKey() {
  return ClassKey(CLSID_LegacyAmFilterCategory) + L"\\Instance\\" + GuidText(kClsidOverlayFilter);
}
std::wstring CategoryEntryKey() {
  return ClassKey(kCatidVideoProcessors) + L"\\Instance\\" + GuidText(kClsidOverlayFilter);
}
std::wstring CategoryDefinitionKey() {
  return ClassKey(CLSID_ActiveMovieCategories) + L"\\Instance\\" + GuidText(kCatidVideoProcessors);
}
std::wstring TypeLibraryKey() { return L"TypeLib\\" + GuidText(kLibidOverlay); }

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

std::vector<BYTE> ReadValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD wanted) {
  std::vector<BYTE> data;
  DWORD type = 0, bytes = 0;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &bytes) == ERROR_SUCCESS &&
      type == wanted) {
    data.resize(bytes);
    RegGetValueW(root, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &bytes);
  }
  return data;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  const std::vector<BYTE> data = ReadValue(root, key, name, REG_SZ);
  if (data.empty()) return std::nullopt;
  return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t) - 1);
}

void WriteString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2));
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool RegisteredTo(const std::wstring& path) {
  const std::wstring server = ClassKey(kClsidOverlayFilter) + L"\\InprocServer32";
  return SamePath(path, ReadString(HKEY_CLASSES_ROOT, server, nullptr).value_or(L""));
}

RegistrySnapshot TakeServerSnapshot() {
  // All of HKCR takes seconds under Wine; its first level shows a key
  // written anywhere unexpected.
  RegistrySnapshot snapshot;
  Walk(snapshot, HKEY_CLASSES_ROOT, L"", L"HKCR", false);
  std::vector<std::wstring> keys = {L"CLSID", L"TypeLib"};
  for (const wchar_t* iid : kInterfaceIds) keys.push_back(std::wstring(L"Interface\\") + iid);
  for (const std::wstring& key : keys) Walk(snapshot, HKEY_CLASSES_ROOT, key, L"HKCR\\" + key, true);
  Walk(snapshot, HKEY_CURRENT_USER, L"SOFTWARE\\Tern Systems, Inc.", L"HKCU\\SOFTWARE\\Tern Systems, Inc.", true);
  return snapshot;
}

std::string Difference(const RegistrySnapshot& before, const RegistrySnapshot& after) {
  std::wstring lines;
  for (const auto& [entry, value] : before) {
    auto found = after.find(entry);
    if (found == after.end()) lines += L"- " + entry + L"\n";
    else if (found->second != value) lines += L"* " + entry + L"\n";
  }
  for (const auto& [entry, value] : after) {
    if (before.find(entry) == before.end()) lines += L"+ " + entry + L"\n";
  }
  std::string text(lines.size() * 3 + 1, '\0');
  text.resize(WideCharToMultiByte(CP_UTF8, 0, lines.c_str(), static_cast<int>(lines.size()), text.data(),
                                  static_cast<int>(text.size()), nullptr, nullptr));
  return text;
}

void RemoveAllRegistration() {
  std::vector<std::wstring> keys = {ClassKey(kClsidOverlayFilter), ClassKey(kClsidPropertyPage),
                                    ClassKey(kClsidAboutPage), MapperEntryKey(), TypeLibraryKey()};
  for (const GUID* category : {&kCatidAudioProcessors, &kCatidVideoProcessors}) {
    keys.push_back(ClassKey(*category));
    keys.push_back(ClassKey(CLSID_ActiveMovieCategories) + L"\\Instance\\" + GuidText(*category));
  }
  for (const wchar_t* iid : kInterfaceIds) keys.push_back(std::wstring(L"Interface\\") + iid);
  for (const std::wstring& key : keys) RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

std::wstring ModuleFile() { return ModulePath(); }
std::wstring OlderModuleFile() { return TestDirectory() + L"KMVVOvLy2x_older.dll"; }

std::wstring CopyModule(const std::wstring& source, const std::wstring& folder) {
  const std::wstring directory = CopiesDirectory() + L"\\" + folder;
  CreateDirectoryW(CopiesDirectory().c_str(), nullptr);
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring target = directory + L"\\KMVVOvLy2x.dll";
  return CopyFileW(source.c_str(), target.c_str(), FALSE) ? target : L"";
}

void RemoveModuleCopies() {
  WIN32_FIND_DATAW found;
  HANDLE folders = FindFirstFileW((CopiesDirectory() + L"\\*").c_str(), &found);
  if (folders == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring folder = CopiesDirectory() + L"\\" + found.cFileName;
    if (found.cFileName[0] == L'.') continue;
    DeleteFileW((folder + L"\\KMVVOvLy2x.dll").c_str());
    RemoveDirectoryW(folder.c_str());
  } while (FindNextFileW(folders, &found));
  FindClose(folders);
  RemoveDirectoryW(CopiesDirectory().c_str());
}

LoadedModule::LoadedModule(const std::wstring& path) : m_module(LoadLibraryW(path.c_str())) {
  if (m_module == nullptr) return;
  FindExport(m_module, "DllGetClassObject", &GetClassObject);
  FindExport(m_module, "DllCanUnloadNow", &CanUnloadNow);
  FindExport(m_module, "DllRegisterServer", &Register);
  FindExport(m_module, "DllUnregisterServer", &Unregister);
  if (!GetClassObject || !CanUnloadNow || !Register || !Unregister) {
    FreeLibrary(m_module);
    m_module = nullptr;
  }
}

LoadedModule::~LoadedModule() {
  if (m_module != nullptr) FreeLibrary(m_module);
}

DWORD RunRegsvr32(const std::wstring& path, bool unregister) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring command =
      L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s " + (unregister ? L"/u \"" : L"\"") + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return static_cast<DWORD>(-1);
  }
  // A message box of a failing registration would wait forever on a display.
  DWORD exitCode = static_cast<DWORD>(-2);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &exitCode);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

}  // namespace ovl::testing

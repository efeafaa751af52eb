#pragma once
// Helpers for the COM server tests: registry reads and snapshots, copies of
// the module in folders of their own, its exports loaded into the test
// process, and Wine's regsvr32 as a child process.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "server/filter_identity.h"

namespace ovl::testing {

std::wstring GuidText(REFGUID guid);
// Keys under HKEY_CLASSES_ROOT: "CLSID\{clsid}", the filter's entry among the
// DirectShow filters and in the video category, the category's definition,
// and the type library.
std::wstring ClassKey(REFCLSID clsid);
std::wstring MapperEntryKey();
std::wstring CategoryEntryKey();
std::wstring CategoryDefinitionKey();
std::wstring TypeLibraryKey();
// The filter's saved settings under HKEY_CURRENT_USER.

bool KeyExists(HKEY root, const std::wstring& key);
// The bytes of a value of the given type (the default value for a null
// name); empty when absent or of another type.
std::vector<BYTE> ReadValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type);
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name);
void WriteString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value);
bool SamePath(const std::wstring& a, const std::wstring& b);  // in any spelling
// Whether the filter's InprocServer32 is `path`.
bool RegisteredTo(const std::wstring& path);

// Keys ("HKCR\key") and values ("HKCR\key|name" -> type and bytes) where the
// module and the platform's helpers can write: all of HKCR\CLSID, TypeLib,
// the module's interfaces, the names of HKCR's top-level keys, and the
// maker's settings under HKCU.
using RegistrySnapshot = std::map<std::wstring, std::wstring>;
RegistrySnapshot TakeServerSnapshot();
// "+ entry" only after, "- entry" only before, "* entry" changed; one a line.
std::string Difference(const RegistrySnapshot& before, const RegistrySnapshot& after);

// Removes every trace of any registration of the module straight through
// the registry, category definition included: the clean start and end.
void RemoveAllRegistration();

// The module under test, its copy with a lower file version, and copies of
// either in <test dir>\server_copies\<folder>\KMVVOvLy2x.dll.
std::wstring ModuleFile();
std::wstring OlderModuleFile();
std::wstring CopyModule(const std::wstring& source, const std::wstring& folder);
void RemoveModuleCopies();

// The four exports of a module file loaded into this process.
class LoadedModule {
 public:
  explicit LoadedModule(const std::wstring& path);
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  bool Loaded() const { return m_module != nullptr; }

  HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* CanUnloadNow)() = nullptr;
  HRESULT(STDAPICALLTYPE* Register)() = nullptr;
  HRESULT(STDAPICALLTYPE* Unregister)() = nullptr;

 private:
  HMODULE m_module = nullptr;
};

// Runs "regsvr32 /s [/u] <path>"; its exit code (0 when the export succeeded).
DWORD RunRegsvr32(const std::wstring& path, bool unregister = false);

}  // namespace ovl::testing

// Copies of the module loaded side by side: the switch read at load, one
// writer shared per process and path, closing at DllCanUnloadNow and unload.
#include <windows.h>
#include <strmif.h>

#include <gtest/gtest.h>

#include "diag/core/trace_switch.h"
#include "diag/trace.h"
#include "server/filter_identity.h"
#include "tests/windows/diag/trace_support.h"
#include "tests/windows/support/com_apartment.h"
#include "tests/windows/support/test_paths.h"

namespace ovl::testing {
namespace {

constexpr char kCreated[] = "\r\nCVOvrLyFilter::CreateInstance";

class ModuleCopy {
 public:
  // Copies the module under test to `name` next to it and loads the copy.
  explicit ModuleCopy(const wchar_t* name) {
    const std::wstring original = ModulePath();
    const std::wstring copy = original.substr(0, original.find_last_of(L"\\/") + 1) + name;
    CopyFileW(original.c_str(), copy.c_str(), FALSE);
    module_ = LoadLibraryW(copy.c_str());
  }
  ~ModuleCopy() { Unload(); }
  bool Loaded() const { return module_ != nullptr; }
  void Unload() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }

  // Creates one overlay filter and releases it again.
  HRESULT CreateFilter() {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    HRESULT hr = get(identity::kClsidOverlayFilter, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    IBaseFilter* filter = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
    if (filter != nullptr) filter->Release();
    factory->Release();
    return hr;
  }

  HRESULT CanUnloadNow() {
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    return reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")))();
  }

 private:
  HMODULE module_ = nullptr;
};

void SetSwitchInEnvironment(const wchar_t* flags, const std::wstring& path) {
  SetEnvironmentVariableW(diag::kTraceFlagsVariable, flags);
  SetEnvironmentVariableW(diag::kTracePathVariable, flags == nullptr ? nullptr : path.c_str());
}

void SetSwitchInRegistry(DWORD flags, const std::wstring& path) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"" OVL_SETTINGS_KEY_TEXT, 0, nullptr, 0, KEY_SET_VALUE,
                                           nullptr, &key, nullptr));
  RegSetValueExW(key, diag::kTraceFlagsValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof flags);
  RegSetValueExW(key, diag::kTracePathValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void ClearSwitchInRegistry() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"" OVL_SETTINGS_KEY_TEXT, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, diag::kTraceFlagsValue);
  RegDeleteValueW(key, diag::kTracePathValue);
  RegCloseKey(key);
}

class TraceModules : public ::testing::Test {
 protected:
  void TearDown() override {
    SetSwitchInEnvironment(nullptr, L"");
    ClearSwitchInRegistry();
  }
  ComApartment com_;
};

TEST_F(TraceModules, CopiesUnderOtherNamesShareOneWriterWithThisProgram) {
  const std::wstring path = ScratchDirectory(L"shared") + L"shared.txt";
  SetSwitchInEnvironment(L"0x09", path);
  ModuleCopy first(L"KMVVOvLy2x_trace_a.dll");
  SetSwitchInEnvironment(nullptr, L"");
  SetSwitchInRegistry(0x09, path);
  ModuleCopy second(L"KMVVOvLy2x_trace_b.dll");
  ClearSwitchInRegistry();
  ASSERT_TRUE(first.Loaded() && second.Loaded());

  {
    TracingTo program(path, diag::kTraceOn | diag::kTraceToFile);
    diag::Trace("\nprogram 1");
    ASSERT_EQ(S_OK, first.CreateFilter());
    diag::Trace("\nprogram 2");
    ASSERT_EQ(S_OK, second.CreateFilter());
    diag::Trace("\nprogram 3");
    EXPECT_EQ(S_OK, first.CanUnloadNow());
    EXPECT_EQ(S_OK, second.CanUnloadNow());
  }
  // One writer keeps the lines of all three in the order they were traced;
  // writers of their own would each write their lines as one block.
  const std::string text = ReadWholeFile(path);
  const std::size_t p1 = text.find("program 1"), c1 = text.find(kCreated), p2 = text.find("program 2");
  const std::size_t c2 = text.find(kCreated, c1 + 1), p3 = text.find("program 3");
  EXPECT_EQ(text.rfind(kUtf8Mark, 0), 0u) << text;
  EXPECT_TRUE(p1 < c1 && c1 < p2 && p2 < c2 && c2 < p3 && p3 != std::string::npos) << text;
  EXPECT_EQ(CountOf(text, kCreated), 2) << text;
}

TEST_F(TraceModules, CanUnloadNowClosesTheLogAndTheNextLineAttachesAgain) {
  const std::wstring path = ScratchDirectory(L"unload") + L"log.txt";
  SetSwitchInEnvironment(L"9", path);
  ModuleCopy module(L"KMVVOvLy2x_trace_c.dll");
  SetSwitchInEnvironment(nullptr, L"");
  ASSERT_TRUE(module.Loaded());

  ASSERT_EQ(S_OK, module.CreateFilter());
  ASSERT_EQ(S_OK, module.CanUnloadNow());
  EXPECT_EQ(CountOf(ReadWholeFile(path), kCreated), 1);
  ASSERT_EQ(S_OK, module.CreateFilter());
  ASSERT_EQ(S_OK, module.CanUnloadNow());
  EXPECT_EQ(CountOf(ReadWholeFile(path), kCreated), 2);
  // Unloading without asking first still writes what is pending.
  ASSERT_EQ(S_OK, module.CreateFilter());
  module.Unload();
  EXPECT_EQ(ReadWholeFile(path), std::string(kUtf8Mark) + kCreated + kCreated + kCreated);
}

TEST_F(TraceModules, WithoutTheSwitchTheModuleWritesNoLog) {
  DeleteFileW(L"c:\\TERNTrace.txt");
  ModuleCopy module(L"KMVVOvLy2x_trace_d.dll");
  ASSERT_TRUE(module.Loaded());
  ASSERT_EQ(S_OK, module.CreateFilter());
  EXPECT_EQ(S_OK, module.CanUnloadNow());
  module.Unload();
  EXPECT_FALSE(FileExists(L"c:\\TERNTrace.txt"));
  EXPECT_FALSE(FileExists(L"c:\\TERNTrace.txt\\TERNTrace.txt"));
}

}  // namespace
}  // namespace ovl::testing

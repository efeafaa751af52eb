// The module loads under the platform loader and exports the COM entry points.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/windows/support/test_paths.h"

namespace {

TEST(ModuleExports, TheFourComEntryPointsAreExported) {
  HMODULE module = LoadLibraryW(ovl::testing::ModulePath().c_str());
  ASSERT_NE(nullptr, module) << "GetLastError " << GetLastError();
  for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"}) {
    EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(module, name))) << name;
  }
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(nullptr, canUnload);
  EXPECT_EQ(S_OK, canUnload());
  FreeLibrary(module);
}

}  // namespace

// Two installations of the module in different folders, each step through
// Wine's regsvr32: an older copy does not take over a newer registration, a
// copy that is not the registered one does not remove it, and a registered
// file that is gone blocks nobody.
#include <gtest/gtest.h>

#include <cwctype>

#include "tests/windows/server/server_test_support.h"

namespace ovl::testing {
namespace {

using namespace ovl::identity;

std::wstring InCase(std::wstring text, wint_t (*change)(wint_t)) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(change(c));
  return text;
}

class RegistrationGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveAllRegistration();
    ASSERT_FALSE(release.empty() || twin.empty() || older.empty());
  }
  void TearDown() override {
    RemoveAllRegistration();
    RemoveModuleCopies();
  }
  const std::wstring release = CopyModule(ModuleFile(), L"release");
  const std::wstring twin = CopyModule(ModuleFile(), L"twin");  // the same file version
  const std::wstring older = CopyModule(OlderModuleFile(), L"older");
};

TEST_F(RegistrationGuard, OnlyAnEqualOrNewerVersionTakesTheRegistrationOver) {
  ASSERT_EQ(0u, RunRegsvr32(release));
  const RegistrySnapshot registered = TakeServerSnapshot();
  EXPECT_EQ(0u, RunRegsvr32(older));  // succeeds, registers nothing
  EXPECT_EQ("", Difference(registered, TakeServerSnapshot()));
  EXPECT_EQ(0u, RunRegsvr32(twin));  // a tie goes to the last one
  EXPECT_TRUE(RegisteredTo(twin));

  RemoveAllRegistration();
  ASSERT_EQ(0u, RunRegsvr32(older));
  EXPECT_EQ(0u, RunRegsvr32(release));
  EXPECT_TRUE(RegisteredTo(release));
}

TEST_F(RegistrationGuard, OnlyTheRegisteredFileUnregistersUnderAnySpelling) {
  ASSERT_EQ(0u, RunRegsvr32(InCase(release, std::towlower)));
  // Registering again under another spelling repairs the registration.
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(kClsidAboutPage).c_str()));
  ASSERT_EQ(0u, RunRegsvr32(InCase(release, std::towupper)));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClsidAboutPage)));
  WriteString(HKEY_CURRENT_USER, kSettingsKey, L"BackgroundColor", L"255");
  const RegistrySnapshot registered = TakeServerSnapshot();

  EXPECT_EQ(0u, RunRegsvr32(older, true));
  EXPECT_EQ(0u, RunRegsvr32(twin, true));
  EXPECT_EQ("", Difference(registered, TakeServerSnapshot()));

  EXPECT_EQ(0u, RunRegsvr32(InCase(release, std::towlower), true));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClsidOverlayFilter)));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, MapperEntryKey()));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, CategoryEntryKey()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
}

TEST_F(RegistrationGuard, ARegisteredFileThatIsGoneBlocksNeitherDirection) {
  ASSERT_EQ(0u, RunRegsvr32(release));
  ASSERT_TRUE(DeleteFileW(release.c_str()));
  EXPECT_EQ(0u, RunRegsvr32(older));
  EXPECT_TRUE(RegisteredTo(older));

  ASSERT_TRUE(DeleteFileW(older.c_str()));
  EXPECT_EQ(0u, RunRegsvr32(twin, true));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClsidOverlayFilter)));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, MapperEntryKey()));
}

}  // namespace
}  // namespace ovl::testing

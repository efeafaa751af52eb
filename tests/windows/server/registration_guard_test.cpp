// Two installations of the module in different folders, each step through
// Wine's regsvr32: an older copy does not take over a newer registration, a
// copy that is not the registered one does not remove it, and a registered
// file that is gone blocks nobody.
#include <gtest/gtest.h>

#include <cwctype>

#include "tests/windows/server/server_test_support.h"

namespace ovl::testing {
namespace {

using namespace ovl::server;

std::wstring InCase(std::wstring text, wint_t (*change)(wint_t)) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(change(c));
  return text;
}

class RegistrationGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveAllRegistration();
    m_release = CopyModule(ModuleFile(), L"release");
    m_twin = CopyModule(ModuleFile(), L"twin");  // the same file version
    m_older = CopyModule(OlderModuleFile(), L"older");
    ASSERT_FALSE(m_release.empty() || m_twin.empty() || m_older.empty());
  }
  void TearDown() override {
    RemoveAllRegistration();
    RemoveModuleCopies();
  }
  std::wstring m_release, m_twin, m_older;
};

TEST_F(RegistrationGuardTest, OnlyAnEqualOrNewerVersionTakesTheRegistrationOver) {
  ASSERT_EQ(0u, RunRegsvr32(Quoted(m_release)));
  const RegistrySnapshot registered = TakeServerSnapshot();
  EXPECT_EQ(0u, RunRegsvr32(Quoted(m_older)));  // succeeds, registers nothing
  EXPECT_EQ("", Difference(registered, TakeServerSnapshot()));

  EXPECT_EQ(0u, RunRegsvr32(Quoted(m_twin)));  // a tie goes to the last one
  EXPECT_TRUE(SamePath(m_twin, RegisteredServer()));

  RemoveAllRegistration();
  ASSERT_EQ(0u, RunRegsvr32(Quoted(m_older)));
  EXPECT_EQ(0u, RunRegsvr32(Quoted(m_release)));
  EXPECT_TRUE(SamePath(m_release, RegisteredServer()));
}

TEST_F(RegistrationGuardTest, OnlyTheRegisteredFileUnregistersUnderAnySpelling) {
  ASSERT_EQ(0u, RunRegsvr32(Quoted(InCase(m_release, std::towlower))));
  // Registering again under another spelling repairs the registration.
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(kClsidAboutPage).c_str()));
  ASSERT_EQ(0u, RunRegsvr32(Quoted(InCase(m_release, std::towupper))));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClsidAboutPage)));
  WriteString(HKEY_CURRENT_USER, kSettingsKey, L"BackgroundColor", L"255");
  const RegistrySnapshot registered = TakeServerSnapshot();

  EXPECT_EQ(0u, RunRegsvr32(L"/u " + Quoted(m_older)));
  EXPECT_EQ(0u, RunRegsvr32(L"/u " + Quoted(m_twin)));
  EXPECT_EQ("", Difference(registered, TakeServerSnapshot()));

  EXPECT_EQ(0u, RunRegsvr32(L"/u " + Quoted(InCase(m_release, std::towlower))));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClsidOverlayFilter)));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, MapperEntryKey()));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, CategoryEntryKey()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
}

TEST_F(RegistrationGuardTest, ARegisteredFileThatIsGoneBlocksNeitherDirection) {
  ASSERT_EQ(0u, RunRegsvr32(Quoted(m_release)));
  ASSERT_TRUE(DeleteFileW(m_release.c_str()));
  EXPECT_EQ(0u, RunRegsvr32(Quoted(m_older)));
  EXPECT_TRUE(SamePath(m_older, RegisteredServer()));

  ASSERT_TRUE(DeleteFileW(m_older.c_str()));
  EXPECT_EQ(0u, RunRegsvr32(L"/u " + Quoted(m_twin)));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kClsidOverlayFilter)));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, MapperEntryKey()));
}

}  // namespace
}  // namespace ovl::testing

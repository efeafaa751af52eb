// The type library step of registration when the file holds no library (or
// cannot be read by the loader): one message, caption "Error", naming the
// file, and nothing registered. The message goes to a sink instead of a box.
#include <gtest/gtest.h>

#include "engine/filter/user_messages.h"
#include "server/type_library.h"
#include "tests/windows/server/server_test_support.h"

namespace ovl::testing {
namespace {

std::vector<std::pair<std::string, std::string>> g_messages;

std::string Narrow(const std::wstring& text) {
  char buffer[2048] = {};
  WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

class TypeLibraryMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveAllRegistration();
    g_messages.clear();
    m_previous = ovl::SetFilterMessageSink(
        [](const char* text, const char* caption) { g_messages.emplace_back(caption, text); });
  }
  void TearDown() override {
    ovl::SetFilterMessageSink(m_previous);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TypeLibraryKey()));
  }
  ovl::MessageSink m_previous = nullptr;
};

TEST_F(TypeLibraryMessageTest, AFileWithoutLibraryGivesOneMessageNamingIt) {
  wchar_t self[MAX_PATH];  // this test program: no type library in it
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_TRUE(FAILED(ovl::server::RegisterTypeLibrary(self)));
  ASSERT_EQ(1u, g_messages.size());
  EXPECT_EQ("Error", g_messages[0].first);
  // The status name slot stays empty while tracing is off.
  EXPECT_EQ("Failed  to register type library: " + Narrow(self), g_messages[0].second);
}

TEST_F(TypeLibraryMessageTest, LongPathsAreRefusedAndTheMessageCutTo259Characters) {
  const std::wstring missing = ModuleFile() + L"\\" + std::wstring(240, L'x') + L".dll";
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), ovl::server::RegisterTypeLibrary(missing));
  ASSERT_EQ(1u, g_messages.size());
  EXPECT_EQ(("Failed  to register type library: " + Narrow(missing)).substr(0, 259), g_messages[0].second);
}

}  // namespace
}  // namespace ovl::testing

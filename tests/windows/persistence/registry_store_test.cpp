// The registry store: text values under one key, strict about missing values
// and value types.
#include "tests/windows/persistence/persistence_fixture.h"

namespace ovl::testing {
namespace {

using RegistryStore = PersistenceTest;

TEST_F(RegistryStore, ValuesAreTextAndBinaryUnderTheKey) {
  SampleSettings saved = SampleSettings::Filled();
  ASSERT_EQ(S_OK, persistence_.SaveToRegistry(HKEY_CURRENT_USER, regPath_.c_str(), &saved));
  char text[64];
  DWORD type = 0, cb = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, regPath_.c_str(), "Colour", RRF_RT_ANY,
                                        &type, text, &cb));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_STREQ("16777215", text);
  cb = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, regPath_.c_str(), "MaskFileName",
                                        RRF_RT_ANY, &type, text, &cb));
  EXPECT_EQ(1u, cb) << "an empty string is its NUL";
  BYTE block[200];
  cb = sizeof block;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, regPath_.c_str(), "Block", RRF_RT_ANY,
                                        &type, block, &cb));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  EXPECT_EQ(100u, cb);
}

TEST_F(RegistryStore, ReadingAMissingKeyCreatesItAndFails) {
  const std::string path = regPath_ + "\\Not\\There";
  SampleSettings loaded;
  EXPECT_EQ(E_FAIL, persistence_.LoadFromRegistry(HKEY_CURRENT_USER, path.c_str(), &loaded));
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key));
  if (key != nullptr) RegCloseKey(key);
}

TEST_F(RegistryStore, WrongTypesMissingValuesAndBadTextFail) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, regPath_.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  const DWORD dword = 7;
  RegSetValueExA(key, "Dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), 4);
  RegSetValueExA(key, "Word", 0, REG_SZ, reinterpret_cast<const BYTE*>("seven"), 6);
  RegSetValueExA(key, "Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>("12"), 2);
  RegSetValueExA(key, "Bytes", 0, REG_BINARY, reinterpret_cast<const BYTE*>("abc"), 3);
  RegSetValueExA(key, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("x"), 2);
  RegCloseKey(key);

  BackEnd store(new CRKRegReadablePersistence(HKEY_CURRENT_USER, regPath_.c_str()));
  LONG value = 42;
  char text[260] = "before";
  BYTE block[4] = {1, 2, 3, 4};
  EXPECT_EQ(E_FAIL, store->GetValue(&value, 4, "Dword", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(E_FAIL, store->GetValue(text, sizeof text, "Dword", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_EQ(E_FAIL, store->GetValue(text, sizeof text, "Expand", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_EQ(E_FAIL, store->GetValue(text, sizeof text, "Absent", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_EQ(E_FAIL, store->GetValue(block, 4, "Bytes", RK_VALUE_BINARY, VT_EMPTY)) << "3 bytes stored";
  EXPECT_EQ(E_FAIL, store->GetValue(block, 3, "Word", RK_VALUE_BINARY, VT_EMPTY));
  EXPECT_EQ(DISP_E_TYPEMISMATCH, store->GetValue(&value, 4, "Word", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(42, value);
  EXPECT_STREQ("before", text);
  EXPECT_EQ(1, block[0]);

  EXPECT_EQ(S_OK, store->GetValue(&value, 4, "Unterminated", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(12, value);
  EXPECT_EQ(S_OK, store->GetValue(block, 3, "Bytes", RK_VALUE_BINARY, VT_EMPTY));
  EXPECT_EQ(0, std::memcmp(block, "abc", 3));
  EXPECT_EQ(E_INVALIDARG, store->GetValue(&value, 4, "Word", RK_VALUE_TYPED, VT_BSTR));
  EXPECT_EQ(E_INVALIDARG, store->GetValue(&value, 8, "Word", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(E_INVALIDARG, store->GetValue(&value, 4, "Word", 3, VT_I4));
}

}  // namespace
}  // namespace ovl::testing

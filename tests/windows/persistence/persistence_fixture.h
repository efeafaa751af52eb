#pragma once
// Shared pieces of the store tests: a small serialisable object with typed
// values, two 260-byte string fields between guard bytes and a binary block,
// and a fixture that owns a private temp directory and registry key.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/windows/support/com_apartment.h"
#include "persistence/stores/rk_backends.h"
#include "persistence/stores/rk_persistence.h"

namespace ovl::testing {

struct SampleSettings : IRKSerializable {
  LONG level = 0;
  ULONG colour = 0;
  BYTE flags = 0;
  char guardA[4] = {'G', 'G', 'G', 'G'};
  char image[260] = {};
  char guardB[4] = {'G', 'G', 'G', 'G'};
  char mask[260] = {};
  char guardC[4] = {'G', 'G', 'G', 'G'};
  BYTE block[100] = {};

  bool withBlock = true;            // the INI store has no binary blocks
  const char* longImage = nullptr;  // written instead of image when set
  int loads = 0;                    // Serialize calls in load mode
  int stores = 0;

  // Values unlike the defaults in every field but the mask.
  static SampleSettings Filled() {
    SampleSettings s;
    s.level = -5;
    s.colour = 0x00FFFFFF;
    s.flags = 0xA5;
    std::strcpy(s.image, "C:\\pictures\\overlay image.bmp");
    for (int i = 0; i < 100; ++i) s.block[i] = static_cast<BYTE>(i * 37 + 11);
    return s;
  }

  bool GuardsIntact() const {
    return std::memcmp(guardA, "GGGG", 4) == 0 && std::memcmp(guardB, "GGGG", 4) == 0 &&
           std::memcmp(guardC, "GGGG", 4) == 0;
  }

  HRESULT Serialize(CRKArchive& ar) override {
    (ar.IsStoring() ? stores : loads)++;
    HRESULT hr;
    if (FAILED(hr = ar.Exchange(&level, sizeof level, "Level", RK_VALUE_TYPED, VT_I4))) return hr;
    if (FAILED(hr = ar.Exchange(&colour, sizeof colour, "Colour", RK_VALUE_TYPED, VT_UI4))) return hr;
    if (FAILED(hr = ar.Exchange(&flags, sizeof flags, "Flags", RK_VALUE_TYPED, VT_UI1))) return hr;
    if (ar.IsStoring() && longImage != nullptr)
      hr = ar.PutValue(longImage, 0, "ImageFileName", RK_VALUE_STRING);
    else
      hr = ar.Exchange(image, sizeof image, "ImageFileName", RK_VALUE_STRING);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = ar.Exchange(mask, sizeof mask, "MaskFileName", RK_VALUE_STRING))) return hr;
    if (withBlock && FAILED(hr = ar.Exchange(block, sizeof block, "Block", RK_VALUE_BINARY))) return hr;
    return S_OK;
  }
};

inline void ExpectSameSettings(const SampleSettings& want, const SampleSettings& got) {
  EXPECT_EQ(want.level, got.level);
  EXPECT_EQ(want.colour, got.colour);
  EXPECT_EQ(want.flags, got.flags);
  EXPECT_STREQ(want.image, got.image);
  EXPECT_STREQ(want.mask, got.mask);
  if (want.withBlock) {
    EXPECT_EQ(0, std::memcmp(want.block, got.block, sizeof want.block));
  }
  EXPECT_TRUE(got.GuardsIntact());
}

// One back-end used directly, as an object's Serialize sees it.
class BackEnd {
 public:
  explicit BackEnd(IRKPersistence* p) : p_(p) { p_->AddRef(); }
  ~BackEnd() { p_->Release(); }
  IRKPersistence* operator->() const { return p_; }
  BackEnd(const BackEnd&) = delete;
  BackEnd& operator=(const BackEnd&) = delete;

 private:
  IRKPersistence* p_;
};

// A temp directory and a registry key of the test's own, removed afterwards.
class PersistenceTest : public ::testing::Test {
 protected:
  // The first member: COM is left after everything else the test holds.
  const ovl::testing::ComApartment com_{ovl::testing::ComApartment::kSingleThreaded};
  void SetUp() override {
    ASSERT_TRUE(com_.Joined());
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = (std::filesystem::temp_directory_path() / ("tern_persistence_" + std::to_string(GetCurrentProcessId()) + "_" + name))
               .string();
    std::filesystem::remove_all(dir_);
    ASSERT_TRUE(std::filesystem::create_directory(dir_));
    regPath_ = "Software\\TernTests\\Persistence\\" + name;
    RegDeleteTreeA(HKEY_CURRENT_USER, regPath_.c_str());
  }

  void TearDown() override {
    std::filesystem::remove_all(dir_);
    RegDeleteTreeA(HKEY_CURRENT_USER, regPath_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TernTests\\Persistence");  // only when empty
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TernTests");
  }

  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
  std::wstring WidePath(const std::string& name) const {
    const std::string p = Path(name);
    return std::wstring(p.begin(), p.end());
  }
  std::string ReadText(const std::string& name) const {
    std::ifstream file(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  void WriteText(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }

  std::string dir_;
  std::string regPath_;
  CRKPersistenceImpl persistence_;
};

}  // namespace ovl::testing

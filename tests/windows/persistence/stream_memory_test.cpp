// The stream form: its records, the memory, file and binary registry
// operations built on it, and loads of damaged forms.
#include <cstdio>
#include <random>
#include <vector>

#include "tests/windows/persistence/persistence_fixture.h"

namespace ovl::testing {
namespace {

class StreamForm : public PersistenceTest {
 protected:
  std::vector<BYTE> Save(SampleSettings& s) {
    std::vector<BYTE> form(persistence_.GetSerializedSize(&s));
    EXPECT_EQ(S_OK, persistence_.SaveToMemory(form.data(), &s));
    return form;
  }
};

TEST_F(StreamForm, EmptyStringRecordIsMarkerAndZeroCount) {
  struct OneString : IRKSerializable {
    char text[260] = "";
    HRESULT Serialize(CRKArchive& ar) override {
      return ar.Exchange(text, sizeof text, "Text", RK_VALUE_STRING);
    }
  } object;
  ASSERT_EQ(8u, persistence_.GetSerializedSize(&object));
  BYTE form[8];
  ASSERT_EQ(S_OK, persistence_.SaveToMemory(form, &object));
  EXPECT_EQ(0, std::memcmp(form, "\xff\xff\xff\xff\0\0\0\0", 8));

  std::strcpy(object.text, "A\xe9");  // UTF-16LE in the record
  BYTE two[12];
  ASSERT_EQ(S_OK, persistence_.SaveToMemory(two, sizeof two, &object));
  EXPECT_EQ(0, std::memcmp(two, "\xff\xff\xff\xff\2\0\0\0A\0\xe9\0", 12));
}

TEST_F(StreamForm, ArgumentsAreCheckedBeforeAnythingRuns) {
  SampleSettings s = SampleSettings::Filled();
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToMemory(nullptr, &s));
  EXPECT_EQ(E_POINTER, persistence_.SaveToStream(nullptr, &s));
  EXPECT_EQ(E_POINTER, persistence_.LoadFromStream(nullptr, &s));
  EXPECT_EQ(0, s.stores + s.loads);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
            persistence_.LoadFromFile(WidePath("missing.bin").c_str(), &s));

  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), RK_E_INSUFFICIENT_BUFFER);
  std::vector<BYTE> small(persistence_.GetSerializedSize(&s) - 1, 0xEE);
  EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, persistence_.SaveToMemory(small.data(), static_cast<ULONG>(small.size()), &s));
  EXPECT_EQ(std::vector<BYTE>(small.size(), 0xEE), small) << "nothing written";
}

TEST_F(StreamForm, ShortBlocksFailWithoutTouchingTheValueCut) {
  SampleSettings saved = SampleSettings::Filled();
  const std::vector<BYTE> form = Save(saved);
  // Cut inside "Colour" (bytes 4 to 7): Level loads, Colour stays.
  SampleSettings loaded;
  loaded.colour = 77;
  EXPECT_EQ(RK_E_SHORT_READ, persistence_.LoadFromMemory(form.data(), 6, &loaded));
  EXPECT_EQ(-5, loaded.level);
  EXPECT_EQ(77u, loaded.colour);
  // Cut inside the binary block at the end.
  std::memset(loaded.block, 0x11, sizeof loaded.block);
  EXPECT_EQ(RK_E_SHORT_READ,
            persistence_.LoadFromMemory(form.data(), static_cast<ULONG>(form.size() - 1), &loaded));
  EXPECT_EQ(0x11, loaded.block[0]);
  EXPECT_STREQ(saved.image, loaded.image);
  // A block longer than the form loads; the rest is not looked at.
  std::vector<BYTE> longer = form;
  longer.resize(form.size() + 10, 0xCC);
  EXPECT_EQ(S_OK, persistence_.LoadFromMemory(longer.data(), static_cast<ULONG>(longer.size()), &loaded));
  ExpectSameSettings(saved, loaded);
}

TEST_F(StreamForm, DamagedFormsLoadOrFailCleanly) {
  SampleSettings saved = SampleSettings::Filled();
  std::strcpy(saved.mask, "mask.bmp");
  const std::vector<BYTE> form = Save(saved);
  std::vector<std::vector<BYTE>> blobs;
  for (size_t n = 0; n < form.size(); ++n) blobs.emplace_back(form.begin(), form.begin() + n);
  std::mt19937 rng(1234);
  for (int i = 0; i < 150; ++i) {
    std::vector<BYTE> b = form;
    for (int flips = 1 + static_cast<int>(rng() % 4); flips > 0; --flips)
      b[rng() % b.size()] ^= static_cast<BYTE>(1u << (rng() % 8));
    blobs.push_back(b);
  }
  // Huge and edge counts at the two string records (offsets 9 and after).
  const size_t imageRecord = 9, maskRecord = 9 + 8 + 2 * std::strlen(saved.image);
  for (size_t at : {imageRecord, imageRecord + 4, maskRecord, maskRecord + 4}) {
    for (DWORD word : {0xFFFFFFFFu, 0xFFFFFFFEu, 0x3FFFFFFFu, 0x40000000u, 0x80000000u, 259u, 260u, 0u}) {
      std::vector<BYTE> b = form;
      std::memcpy(&b[at], &word, 4);
      blobs.push_back(b);
    }
  }

  int succeeded = 0, failed = 0;
  for (const std::vector<BYTE>& blob : blobs) {
    for (int via = 0; via < 2; ++via) {
      SampleSettings loaded;
      HRESULT hr;
      if (via == 0) {
        // The block is the only thing in its allocation; a read past it
        // would leave the block.
        std::vector<BYTE> exact(blob);
        hr = persistence_.LoadFromMemory(exact.data(), static_cast<ULONG>(exact.size()), &loaded);
      } else {
        IStream* stream = nullptr;
        ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
        ULONG written = 0;
        if (!blob.empty()) stream->Write(blob.data(), static_cast<ULONG>(blob.size()), &written);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        hr = persistence_.LoadFromStream(stream, &loaded);
        stream->Release();
      }
      ASSERT_TRUE(hr == S_OK || FAILED(hr)) << std::hex << hr;
      ASSERT_TRUE(loaded.GuardsIntact());
      ASSERT_LT(std::strlen(loaded.image), sizeof loaded.image);
      ASSERT_LT(std::strlen(loaded.mask), sizeof loaded.mask);
      (hr == S_OK ? succeeded : failed)++;
    }
  }
  EXPECT_GT(succeeded, 0);
  EXPECT_GT(failed, static_cast<int>(form.size()));
  std::printf("[ blobs    ] %zu damaged forms, %d loads: %d succeeded, %d failed with an HRESULT\n",
              blobs.size(), succeeded + failed, succeeded, failed);
}

TEST_F(StreamForm, FileHoldsExactlyTheFormAndSurvivesAFailedSave) {
  SampleSettings saved = SampleSettings::Filled();
  const std::wstring file = WidePath("form.bin");
  ASSERT_EQ(S_OK, persistence_.SaveToFile(file.c_str(), &saved));
  const std::vector<BYTE> form = Save(saved);
  EXPECT_EQ(std::string(form.begin(), form.end()), ReadFileText(Path("form.bin")));

  struct Failing : IRKSerializable {
    HRESULT Serialize(CRKArchive&) override { return E_ACCESSDENIED; }
  } failing;
  EXPECT_EQ(E_ACCESSDENIED, persistence_.SaveToFile(file.c_str(), &failing));
  EXPECT_EQ(form.size(), ReadFileText(Path("form.bin")).size()) << "old file kept";
}

TEST_F(StreamForm, BinaryRegistryValueMustMatchTheCurrentFormSize) {
  SampleSettings saved = SampleSettings::Filled();
  const std::vector<BYTE> form = Save(saved);
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, regPath_.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  std::vector<BYTE> longer = form;
  longer.push_back(0);
  RegSetValueExA(key, "Longer", 0, REG_BINARY, longer.data(), static_cast<DWORD>(longer.size()));
  RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 4);
  RegCloseKey(key);

  SampleSettings loaded = SampleSettings::Filled();
  loaded.loads = 0;
  EXPECT_EQ(E_FAIL, persistence_.LoadFromRegistryBinary(HKEY_CURRENT_USER, regPath_.c_str(), "Longer", &loaded));
  EXPECT_EQ(E_FAIL, persistence_.LoadFromRegistryBinary(HKEY_CURRENT_USER, regPath_.c_str(), "Text", &loaded));
  EXPECT_EQ(E_FAIL, persistence_.LoadFromRegistryBinary(HKEY_CURRENT_USER, regPath_.c_str(), "None", &loaded));
  EXPECT_EQ(0, loaded.loads);

  // Key path and value name as string resources of this module (101, 102).
  ASSERT_EQ(S_OK, persistence_.SaveToRegistryBinary(HKEY_CURRENT_USER, MAKEINTRESOURCEA(101),
                                                    MAKEINTRESOURCEA(102), &saved));
  SampleSettings fromResource;
  std::strcpy(fromResource.image, saved.image);
  EXPECT_EQ(S_OK, persistence_.LoadFromRegistryBinary(HKEY_CURRENT_USER, MAKEINTRESOURCEA(101),
                                                      MAKEINTRESOURCEA(102), &fromResource));
  ExpectSameSettings(saved, fromResource);
  EXPECT_EQ(E_FAIL, persistence_.SaveToRegistryBinary(HKEY_CURRENT_USER, MAKEINTRESOURCEA(999),
                                                      "Form", &saved));
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\TernTests\\Persistence\\FromResource");
}

}  // namespace
}  // namespace ovl::testing

// Every store of CRKPersistenceImpl saves and loads the same object, and all
// of them apply the one string rule: a stored string that does not fit its
// 260-byte field is refused and the field is left as it was.
#include <functional>
#include <vector>

#include "tests/windows/persistence/persistence_fixture.h"

namespace ovl::testing {
namespace {

struct Store {
  const char* name;
  bool binary;  // keeps binary blocks
  std::function<HRESULT(SampleSettings&)> save;
  std::function<HRESULT(SampleSettings&)> load;
};

class StoreRoundTrip : public PersistenceTest {
 protected:
  void SetUp() override {
    PersistenceTest::SetUp();
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream_));
  }
  void TearDown() override {
    stream_->Release();
    PersistenceTest::TearDown();
  }

  std::vector<Store> Stores() {
    CRKPersistenceImpl& p = persistence_;
    const std::string ini = Path("settings.ini"), xml = Path("settings.xml");
    const std::wstring file = WidePath("settings.bin");
    const std::string key = regPath_;
    return {
        {"stream", true,
         [&p, this](SampleSettings& s) {
           LARGE_INTEGER zero{};
           ULARGE_INTEGER empty{};
           stream_->Seek(zero, STREAM_SEEK_SET, nullptr);
           stream_->SetSize(empty);
           return p.SaveToStream(stream_, &s);
         },
         [&p, this](SampleSettings& s) {
           LARGE_INTEGER zero{};
           stream_->Seek(zero, STREAM_SEEK_SET, nullptr);
           return p.LoadFromStream(stream_, &s);
         }},
        {"memory", true,
         [&p, this](SampleSettings& s) {
           memory_.assign(p.GetSerializedSize(&s), 0);
           return p.SaveToMemory(memory_.data(), &s);
         },
         [&p, this](SampleSettings& s) {
           return p.LoadFromMemory(memory_.data(), static_cast<ULONG>(memory_.size()), &s);
         }},
        {"file", true, [&p, file](SampleSettings& s) { return p.SaveToFile(file.c_str(), &s); },
         [&p, file](SampleSettings& s) { return p.LoadFromFile(file.c_str(), &s); }},
        {"registry", true,
         [&p, key](SampleSettings& s) { return p.SaveToRegistry(HKEY_CURRENT_USER, key.c_str(), &s); },
         [&p, key](SampleSettings& s) { return p.LoadFromRegistry(HKEY_CURRENT_USER, key.c_str(), &s); }},
        {"xml", true,
         [&p, xml](SampleSettings& s) { return p.SaveToXmlFile(xml.c_str(), "Sample & 'Co'", &s); },
         [&p, xml](SampleSettings& s) { return p.LoadFromXmlFile(xml.c_str(), "Sample & 'Co'", &s); }},
        {"ini", false,
         [&p, ini](SampleSettings& s) { return p.SaveToIniFile(ini.c_str(), "Sample", &s); },
         [&p, ini](SampleSettings& s) { return p.LoadFromIniFile(ini.c_str(), "Sample", &s); }},
    };
  }

  IStream* stream_ = nullptr;
  std::vector<BYTE> memory_;
};

TEST_F(StoreRoundTrip, EveryStoreGivesBackWhatItWasGiven) {
  for (const Store& store : Stores()) {
    SCOPED_TRACE(store.name);
    SampleSettings saved = SampleSettings::Filled();
    saved.withBlock = store.binary;
    ASSERT_EQ(S_OK, store.save(saved));
    SampleSettings loaded;
    loaded.withBlock = store.binary;
    std::strcpy(loaded.mask, "not empty before the load");
    ASSERT_EQ(S_OK, store.load(loaded));
    ExpectSameSettings(saved, loaded);
    EXPECT_EQ(1, loaded.loads);
  }
  // The binary registry form, and no store carries the archive's version record.
  SampleSettings saved = SampleSettings::Filled(), loaded;
  ASSERT_EQ(S_OK, persistence_.SaveToRegistryBinary(HKEY_CURRENT_USER, regPath_.c_str(), "Form", &saved));
  std::strcpy(loaded.image, saved.image);  // the same form size
  ASSERT_EQ(S_OK, persistence_.LoadFromRegistryBinary(HKEY_CURRENT_USER, regPath_.c_str(), "Form", &loaded));
  ExpectSameSettings(saved, loaded);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegGetValueA(HKEY_CURRENT_USER, regPath_.c_str(), "_rk_ser_ver_",
                                               RRF_RT_ANY, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::string::npos, ReadFileText(Path("settings.ini")).find("_rk_ser_ver_"));
  EXPECT_EQ(std::string::npos, ReadFileText(Path("settings.xml")).find("_rk_ser_ver_"));
  EXPECT_EQ(4u + 4 + 1 + (8 + 2 * std::strlen(saved.image)) + 8 + 100,
            persistence_.GetSerializedSize(&saved));
}

TEST_F(StoreRoundTrip, StringsOf260BytesOrMoreAreRefusedEverywhere) {
  const std::string fits(259, 'f'), tooLong(260, 'L'), farTooLong(700, 'X');
  for (const Store& store : Stores()) {
    SCOPED_TRACE(store.name);
    SampleSettings writer = SampleSettings::Filled();
    writer.withBlock = store.binary;
    writer.longImage = fits.c_str();
    ASSERT_EQ(S_OK, store.save(writer));
    SampleSettings reader;
    reader.withBlock = store.binary;
    ASSERT_EQ(S_OK, store.load(reader));
    EXPECT_EQ(fits, reader.image);

    for (const std::string* text : {&tooLong, &farTooLong}) {
      writer.longImage = text->c_str();
      ASSERT_EQ(S_OK, store.save(writer)) << "a long string is stored as it is";
      std::strcpy(reader.image, "kept");
      EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, store.load(reader));
      EXPECT_STREQ("kept", reader.image);
      EXPECT_TRUE(reader.GuardsIntact());
    }
  }
}

TEST_F(StoreRoundTrip, StringFieldsWithoutTerminatorAreNotWritten) {
  struct Unterminated : IRKSerializable {
    char field[4] = {'a', 'b', 'c', 'd'};
    HRESULT Serialize(CRKArchive& ar) override {
      return ar.Exchange(field, sizeof field, "Name", RK_VALUE_STRING);
    }
  } object;
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToStream(stream_, &object));
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToIniFile(Path("u.ini").c_str(), "S", &object));
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToXmlFile(Path("u.xml").c_str(), "T", &object));
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToRegistry(HKEY_CURRENT_USER, regPath_.c_str(), &object));
  EXPECT_EQ(0u, persistence_.GetSerializedSize(&object));
}

}  // namespace
}  // namespace ovl::testing

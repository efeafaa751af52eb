// Every store of CRKPersistenceImpl saves and loads the same object, and all
// of them apply the one string rule: a stored string that does not fit its
// 260-byte field is refused and the field is left as it was. Then the stream
// form's operations: memory blocks bounded by their size, the file, and the
// binary registry value.
#include <functional>
#include <vector>

#include "persistence/stores/rk_text.h"
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
  std::vector<Store> Stores() {
    CRKPersistenceImpl& p = persistence_;
    // The XML file goes to directories the save creates; its title may be any text.
    const std::string ini = Path("settings.ini"), xml = dir_ + "/made/on/save\\settings.xml", key = regPath_;
    const std::wstring file = WidePath("settings.bin");
    return {
        {"stream", true,
         [&p, this](SampleSettings& s) {
           stream_.Reset();
           EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream_.Put()));
           return p.SaveToStream(stream_.Get(), &s);
         },
         [&p, this](SampleSettings& s) {
           LARGE_INTEGER zero{};
           stream_->Seek(zero, STREAM_SEEK_SET, nullptr);
           return p.LoadFromStream(stream_.Get(), &s);
         }},
        {"memory", true,
         [&p, this](SampleSettings& s) {
           memory_.assign(p.GetSerializedSize(&s), 0);
           return p.SaveToMemory(memory_.data(), &s);
         },
         [&p, this](SampleSettings& s) { return p.LoadFromMemory(memory_.data(), static_cast<ULONG>(memory_.size()), &s); }},
        {"file", true, [&p, file](SampleSettings& s) { return p.SaveToFile(file.c_str(), &s); },
         [&p, file](SampleSettings& s) { return p.LoadFromFile(file.c_str(), &s); }},
        {"registry", true, [&p, key](SampleSettings& s) { return p.SaveToRegistry(HKEY_CURRENT_USER, key.c_str(), &s); },
         [&p, key](SampleSettings& s) { return p.LoadFromRegistry(HKEY_CURRENT_USER, key.c_str(), &s); }},
        {"xml", true, [&p, xml](SampleSettings& s) { return p.SaveToXmlFile(xml.c_str(), "Filter \"2.0\" & <more>'s", &s); },
         [&p, xml](SampleSettings& s) { return p.LoadFromXmlFile(xml.c_str(), "x", &s); }},
        {"ini", false, [&p, ini](SampleSettings& s) { return p.SaveToIniFile(ini.c_str(), "Sample", &s); },
         [&p, ini](SampleSettings& s) { return p.LoadFromIniFile(ini.c_str(), "Sample", &s); }},
    };
  }

  std::vector<BYTE> Save(SampleSettings& s) {
    std::vector<BYTE> form(persistence_.GetSerializedSize(&s));
    EXPECT_EQ(S_OK, persistence_.SaveToMemory(form.data(), &s));
    return form;
  }

  ovl::ComPtr<IStream> stream_;
  std::vector<BYTE> memory_;
};

// Each store gives back what it was given, a name of 259 bytes included; a
// stored name of 260 bytes or more is refused and the field keeps its text.
TEST_F(StoreRoundTrip, EveryStoreGivesBackWhatItWasGivenAndRefusesNamesThatDoNotFit) {
  const std::string fits(259, 'f'), tooLong(260, 'L'), farTooLong(700, 'X');
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

    for (const std::string* text : {&fits, &tooLong, &farTooLong}) {
      saved.longImage = text->c_str();
      ASSERT_EQ(S_OK, store.save(saved)) << "a long string is stored as it is";
      std::strcpy(loaded.image, "kept");
      EXPECT_EQ(text == &fits ? S_OK : RK_E_INSUFFICIENT_BUFFER, store.load(loaded)) << text->size();
      EXPECT_STREQ(text == &fits ? fits.c_str() : "kept", loaded.image);
      EXPECT_TRUE(loaded.GuardsIntact());
    }
  }
  // The binary registry form, its key path and value name given as string
  // resources of this module (101, 102); no store carries the archive's
  // version record.
  SampleSettings saved = SampleSettings::Filled(), loaded;
  ASSERT_EQ(S_OK, persistence_.SaveToRegistryBinary(HKEY_CURRENT_USER, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(102), &saved));
  std::strcpy(loaded.image, saved.image);  // the same form size
  ASSERT_EQ(S_OK, persistence_.LoadFromRegistryBinary(HKEY_CURRENT_USER, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(102), &loaded));
  ExpectSameSettings(saved, loaded);
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\TernTests\\Persistence\\FromResource");
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegGetValueA(HKEY_CURRENT_USER, regPath_.c_str(), "_rk_ser_ver_", RRF_RT_ANY, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::string::npos, ReadText("settings.ini").find("_rk_ser_ver_"));
  EXPECT_EQ(std::string::npos, ReadText("made\\on\\save\\settings.xml").find("_rk_ser_ver_"));
  EXPECT_EQ(4u + 4 + 1 + (8 + 2 * std::strlen(saved.image)) + 8 + 100, persistence_.GetSerializedSize(&saved));
}

// Arguments are checked before anything runs; a string field without its
// terminator is never written.
TEST_F(StoreRoundTrip, ArgumentsAndUnterminatedStringsAreRefused) {
  SampleSettings s = SampleSettings::Filled();
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToMemory(nullptr, &s));
  EXPECT_EQ(E_POINTER, persistence_.SaveToStream(nullptr, &s));
  EXPECT_EQ(E_POINTER, persistence_.LoadFromStream(nullptr, &s));
  EXPECT_EQ(E_INVALIDARG, persistence_.LoadFromIniFile(nullptr, "S", &s));
  EXPECT_EQ(E_POINTER, persistence_.LoadFromRegistry(HKEY_CURRENT_USER, nullptr, nullptr));
  EXPECT_EQ(0, s.stores + s.loads);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), persistence_.LoadFromFile(WidePath("missing.bin").c_str(), &s));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), RK_E_INSUFFICIENT_BUFFER);
  std::vector<BYTE> small(persistence_.GetSerializedSize(&s) - 1, 0xEE);
  EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, persistence_.SaveToMemory(small.data(), static_cast<ULONG>(small.size()), &s));
  EXPECT_EQ(std::vector<BYTE>(small.size(), 0xEE), small) << "nothing written";

  struct Unterminated : IRKSerializable {
    char field[4] = {'a', 'b', 'c', 'd'};
    HRESULT Serialize(CRKArchive& ar) override { return ar.Exchange(field, sizeof field, "Name", RK_VALUE_STRING); }
  } object;
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToMemory(small.data(), static_cast<ULONG>(small.size()), &object));
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToIniFile(Path("u.ini").c_str(), "S", &object));
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToXmlFile(Path("u.xml").c_str(), "T", &object));
  EXPECT_EQ(E_INVALIDARG, persistence_.SaveToRegistry(HKEY_CURRENT_USER, regPath_.c_str(), &object));
  EXPECT_EQ(0u, persistence_.GetSerializedSize(&object));
}

// A load reads no further than the block it is given: a value the block
// ends inside fails and keeps its old contents.
TEST_F(StoreRoundTrip, ShortBlocksFailWithoutTouchingTheValueCut) {
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
  EXPECT_EQ(RK_E_SHORT_READ, persistence_.LoadFromMemory(form.data(), static_cast<ULONG>(form.size() - 1), &loaded));
  EXPECT_EQ(0x11, loaded.block[0]);
  EXPECT_STREQ(saved.image, loaded.image);
  // A block longer than the form loads; the rest is not looked at.
  std::vector<BYTE> longer = form;
  longer.resize(form.size() + 10, 0xCC);
  EXPECT_EQ(S_OK, persistence_.LoadFromMemory(longer.data(), static_cast<ULONG>(longer.size()), &loaded));
  ExpectSameSettings(saved, loaded);
}

TEST_F(StoreRoundTrip, FileHoldsExactlyTheFormAndSurvivesAFailedSave) {
  SampleSettings saved = SampleSettings::Filled();
  const std::wstring file = WidePath("form.bin");
  ASSERT_EQ(S_OK, persistence_.SaveToFile(file.c_str(), &saved));
  const std::vector<BYTE> form = Save(saved);
  EXPECT_EQ(std::string(form.begin(), form.end()), ReadText("form.bin"));

  struct Failing : IRKSerializable {
    HRESULT Serialize(CRKArchive&) override { return E_ACCESSDENIED; }
  } failing;
  EXPECT_EQ(E_ACCESSDENIED, persistence_.SaveToFile(file.c_str(), &failing));
  EXPECT_EQ(form.size(), ReadText("form.bin").size()) << "old file kept";
}

TEST_F(StoreRoundTrip, BinaryRegistryValueMustMatchTheCurrentFormSize) {
  SampleSettings saved = SampleSettings::Filled();
  std::vector<BYTE> longer = Save(saved);
  longer.push_back(0);
  RegSetKeyValueA(HKEY_CURRENT_USER, regPath_.c_str(), "Longer", REG_BINARY, longer.data(), static_cast<DWORD>(longer.size()));
  RegSetKeyValueA(HKEY_CURRENT_USER, regPath_.c_str(), "Text", REG_SZ, "abc", 4);
  SampleSettings loaded = SampleSettings::Filled();
  loaded.loads = 0;
  for (const char* value : {"Longer", "Text", "None"})
    EXPECT_EQ(E_FAIL, persistence_.LoadFromRegistryBinary(HKEY_CURRENT_USER, regPath_.c_str(), value, &loaded)) << value;
  EXPECT_EQ(0, loaded.loads);

  EXPECT_EQ(E_FAIL, persistence_.SaveToRegistryBinary(HKEY_CURRENT_USER, MAKEINTRESOURCEA(999), "Form", &saved));
}

}  // namespace
}  // namespace ovl::testing

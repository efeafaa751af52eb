// What registering the module writes and what unregistering removes, through
// Wine's regsvr32 and through the exports called in this process; read back
// from the registry and through the filter mapper.
#include <gtest/gtest.h>

#include <strmif.h>
#include <uuids.h>

#include "tests/windows/server/server_test_support.h"
#include "tests/windows/support/com_ref.h"

namespace ovl::testing {
namespace {

using namespace ovl::server;

constexpr DWORD kMerit = 0x00200000;

// The mapper's binary filter description: header (version, merit, pin
// count, reserved); per pin six DWORDs (signature, flags, instances, type
// count, medium count, category) and per type four (signature, reserved,
// major and subtype offsets from the start of the block).
struct MapperFilter {
  DWORD merit = 0;
  std::vector<DWORD> pinFlags;
  std::vector<std::pair<GUID, GUID>> types;  // of all pins, in order
};

bool Decode(const std::vector<BYTE>& data, MapperFilter* filter) {
  auto dword = [&](size_t at) {
    DWORD value = 0;
    if (at + 4 <= data.size()) memcpy(&value, data.data() + at, 4);
    return value;
  };
  auto guid = [&](size_t at) {
    GUID value = GUID_NULL;
    value.Data1 = 0xffffffff;
    if (at + sizeof(GUID) <= data.size()) memcpy(&value, data.data() + at, sizeof(GUID));
    return value;
  };
  if (data.size() < 16) return false;
  filter->merit = dword(4);
  size_t at = 16;
  for (DWORD pin = dword(8); pin > 0; --pin) {
    filter->pinFlags.push_back(dword(at + 4));
    const DWORD types = dword(at + 12);
    const DWORD mediums = dword(at + 16);
    at += 24;
    for (DWORD t = 0; t < types; ++t, at += 16) filter->types.emplace_back(guid(dword(at + 8)), guid(dword(at + 12)));
    at += 4 * mediums;
  }
  return at <= data.size();
}

// Class identifiers of the filters the mapper offers for an input type.
std::vector<std::wstring> MatchingFilters(REFGUID major, REFGUID minor) {
  std::vector<std::wstring> found;
  ComRef<IFilterMapper2> mapper;
  ComRef<IEnumMoniker> monikers;
  const GUID types[2] = {major, minor};
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              mapper.PutVoid())) ||
      FAILED(mapper->EnumMatchingFilters(monikers.Put(), 0, FALSE, 0, TRUE, 1, types, nullptr, nullptr, FALSE,
                                         FALSE, 0, nullptr, nullptr, nullptr))) {
    ADD_FAILURE() << "filter mapper";
    return found;
  }
  ComRef<IMoniker> moniker;
  while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
    ComRef<IPropertyBag> bag;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) &&
        SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR) {
      found.push_back(value.bstrVal);
    }
    VariantClear(&value);
  }
  return found;
}

bool Offered(REFGUID major, REFGUID minor) {
  for (const std::wstring& clsid : MatchingFilters(major, minor)) {
    if (clsid == GuidText(kClsidOverlayFilter)) return true;
  }
  return false;
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveAllRegistration();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  }
  void TearDown() override {
    RemoveAllRegistration();
    CoUninitialize();
  }

  // Everything one registration of the module at `path` consists of.
  static void ExpectRegisteredFrom(const std::wstring& path) {
    const std::pair<const GUID*, const wchar_t*> classes[] = {
        {&kClsidOverlayFilter, L"TERN Video Overlay Filter (2.0)"},
        {&kClsidPropertyPage, L"TERN Video Overlay Filter (2.0) Property Page"},
        {&kClsidAboutPage, L"About TERN Video Overlay Filter (2.0)"}};
    for (const auto& [clsid, name] : classes) {
      const std::wstring server = ClassKey(*clsid) + L"\\InprocServer32";
      EXPECT_EQ(name, ReadString(HKEY_CLASSES_ROOT, ClassKey(*clsid), nullptr).value_or(L""));
      EXPECT_TRUE(SamePath(path, ReadString(HKEY_CLASSES_ROOT, server, nullptr).value_or(L"")));
      EXPECT_EQ(L"Both", ReadString(HKEY_CLASSES_ROOT, server, L"ThreadingModel").value_or(L""));  // REG_SZ
    }

    EXPECT_EQ(classes[0].second, ReadString(HKEY_CLASSES_ROOT, MapperEntryKey(), L"FriendlyName").value_or(L""));
    MapperFilter filter;
    ASSERT_TRUE(Decode(ReadValue(HKEY_CLASSES_ROOT, MapperEntryKey(), L"FilterData", REG_BINARY), &filter));
    EXPECT_EQ(kMerit, filter.merit);
    EXPECT_EQ((std::vector<DWORD>{0, REG_PINFLAG_B_OUTPUT}), filter.pinFlags);  // "Input", "Output"
    ASSERT_EQ(2u, filter.types.size());
    for (const auto& [major, minor] : filter.types) {
      EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Video, major) && IsEqualGUID(GUID_NULL, minor));
    }

    // The family's video category holds the filter, without pins; the audio
    // category is not this module's.
    EXPECT_EQ(L"RKMM Video Processors",
              ReadString(HKEY_CLASSES_ROOT, CategoryDefinitionKey(), L"FriendlyName").value_or(L""));
    const std::vector<BYTE> merit = ReadValue(HKEY_CLASSES_ROOT, CategoryDefinitionKey(), L"Merit", REG_DWORD);
    EXPECT_EQ(std::vector<BYTE>({0, 0, 0x20, 0}), merit);
    EXPECT_EQ(classes[0].second, ReadString(HKEY_CLASSES_ROOT, CategoryEntryKey(), L"FriendlyName").value_or(L""));
    MapperFilter entry;
    ASSERT_TRUE(Decode(ReadValue(HKEY_CLASSES_ROOT, CategoryEntryKey(), L"FilterData", REG_BINARY), &entry));
    EXPECT_EQ(kMerit, entry.merit);
    EXPECT_TRUE(entry.pinFlags.empty());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kCatidAudioProcessors)));

    // The type library, from the module file itself.
    EXPECT_TRUE(
        SamePath(path, ReadString(HKEY_CLASSES_ROOT, TypeLibraryKey() + L"\\1.0\\0\\win64", nullptr).value_or(L"")));
  }
};

TEST_F(RegistrationTest, Regsvr32RegistersAndRemovesTheServer) {
  const std::wstring module = ModuleFile();
  ASSERT_EQ(0u, RunRegsvr32(Quoted(module)));
  ExpectRegisteredFrom(module);
  // Graph builders find the filter for any video input, not for audio.
  EXPECT_TRUE(Offered(MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
  EXPECT_TRUE(Offered(MEDIATYPE_Video, GUID_NULL));
  EXPECT_FALSE(Offered(MEDIATYPE_Audio, GUID_NULL));

  ASSERT_EQ(0u, RunRegsvr32(L"/u " + Quoted(module)));
  EXPECT_FALSE(Offered(MEDIATYPE_Video, GUID_NULL));
  for (const std::wstring& key : {ClassKey(kClsidOverlayFilter), ClassKey(kClsidPropertyPage),
                                  ClassKey(kClsidAboutPage), MapperEntryKey(), CategoryEntryKey(), TypeLibraryKey()}) {
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
  }
}

TEST_F(RegistrationTest, UnregisteringRemovesExactlyWhatRegisteringWrote) {
  // The settings key's parents are shared with the maker's other filters.
  WriteString(HKEY_CURRENT_USER, L"SOFTWARE\\Tern Systems, Inc.\\DShow\\Filters\\Other", L"Kept", L"1");
  const RegistrySnapshot before = TakeServerSnapshot();
  {
    LoadedModule exports(ModuleFile());
    ASSERT_TRUE(exports.Loaded());
    ASSERT_EQ(S_OK, exports.Register());
    ExpectRegisteredFrom(ModuleFile());
    const RegistrySnapshot registered = TakeServerSnapshot();
    const std::string added = Difference(before, registered);
    EXPECT_EQ(std::string::npos, added.find("- ")) << added;
    EXPECT_EQ(std::string::npos, added.find("* ")) << added;
    ASSERT_EQ(S_OK, exports.Register());  // again: nothing changes
    EXPECT_EQ("", Difference(registered, TakeServerSnapshot()));

    WriteString(HKEY_CURRENT_USER, kSettingsKey, L"BackgroundColor", L"255");
    WriteString(HKEY_CURRENT_USER, std::wstring(kSettingsKey) + L"\\Layers\\2", L"Region", L"3");
    ASSERT_EQ(S_OK, exports.Unregister());
    EXPECT_EQ(S_OK, exports.CanUnloadNow());
  }
  // Only the family's category stays defined: the maker's other filters are
  // entered in it.
  const std::wstring category = L"HKCR\\" + ClassKey(kCatidVideoProcessors);
  const std::wstring definition = L"HKCR\\" + CategoryDefinitionKey();
  RegistrySnapshot expected = before;
  for (const std::wstring& entry : {category, category + L"\\Instance", definition}) expected[entry] = L"";
  const RegistrySnapshot after = TakeServerSnapshot();
  for (const wchar_t* value : {L"|CLSID", L"|FriendlyName", L"|Merit"}) {
    expected[definition + value] = after.count(definition + value) ? after.at(definition + value) : L"missing";
  }
  EXPECT_EQ("", Difference(expected, after));
}

TEST_F(RegistrationTest, UnregisteringWhatIsNotRegisteredSucceedsAndChangesNothing) {
  const RegistrySnapshot before = TakeServerSnapshot();
  LoadedModule exports(ModuleFile());
  ASSERT_TRUE(exports.Loaded());
  EXPECT_EQ(S_OK, exports.Unregister());
  EXPECT_EQ("", Difference(before, TakeServerSnapshot()));
  EXPECT_EQ(S_OK, exports.CanUnloadNow());
}

}  // namespace
}  // namespace ovl::testing

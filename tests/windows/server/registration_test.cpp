// What registering the module writes and what unregistering removes, through
// Wine's regsvr32 and through the exports called in this process; read back
// from the registry, through the filter mapper and through COM. And the type
// library step when the file holds no library.
#include <gtest/gtest.h>

#include <strmif.h>
#include <uuids.h>

#include "persistence/core/com_ptr.h"
#include "server/type_library.h"
#include "tests/windows/server/server_test_support.h"
#include "tests/windows/support/com_apartment.h"
#include "ui/modal_seam.h"

namespace ovl::testing {
namespace {

using namespace ovl::server;
using namespace ovl::identity;

constexpr DWORD kMerit = 0x00200000;

// Whether the filter mapper offers the filter to a graph builder that looks
// for filters of at least `merit` taking and giving the given type.
bool Offered(REFGUID major, REFGUID minor, DWORD merit = kMerit) {
  ovl::ComPtr<IFilterMapper2> mapper;
  ovl::ComPtr<IEnumMoniker> monikers;
  const GUID types[2] = {major, minor};
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              mapper.PutVoid())) ||
      FAILED(mapper->EnumMatchingFilters(monikers.Put(), 0, FALSE, merit, TRUE, 1, types, nullptr, nullptr, FALSE,
                                         TRUE, 1, types, nullptr, nullptr))) {
    ADD_FAILURE() << "filter mapper";
    return false;
  }
  bool found = false;
  for (ovl::ComPtr<IMoniker> moniker; monikers->Next(1, moniker.Put(), nullptr) == S_OK;) {
    ovl::ComPtr<IPropertyBag> bag;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) &&
        SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR) {
      found = found || GuidText(kClsidOverlayFilter) == value.bstrVal;
    }
    VariantClear(&value);
  }
  return found;
}

class Registration : public ::testing::Test {
 protected:
  // The first member: COM is left after everything else the test holds.
  const ovl::testing::ComApartment com_;
  void SetUp() override {
    RemoveAllRegistration();
    ASSERT_TRUE(com_.Joined());
  }
  void TearDown() override {
    RemoveAllRegistration();
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

    // The family's video category holds the filter, at the same merit and
    // without pins; the audio category is not this module's.
    EXPECT_EQ(L"RKMM Video Processors",
              ReadString(HKEY_CLASSES_ROOT, CategoryDefinitionKey(), L"FriendlyName").value_or(L""));
    const std::vector<BYTE> merit = {0, 0, 0x20, 0};
    EXPECT_EQ(merit, ReadValue(HKEY_CLASSES_ROOT, CategoryDefinitionKey(), L"Merit", REG_DWORD));
    EXPECT_EQ(classes[0].second, ReadString(HKEY_CLASSES_ROOT, CategoryEntryKey(), L"FriendlyName").value_or(L""));
    const std::vector<BYTE> data = ReadValue(HKEY_CLASSES_ROOT, CategoryEntryKey(), L"FilterData", REG_BINARY);
    ASSERT_GE(data.size(), 12u);  // version, merit, pin count
    EXPECT_EQ(merit, std::vector<BYTE>(data.begin() + 4, data.begin() + 8));
    EXPECT_EQ(std::vector<BYTE>(4, 0), std::vector<BYTE>(data.begin() + 8, data.begin() + 12));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kCatidAudioProcessors)));

    // The type library, from the module file itself.
    const std::wstring library = TypeLibraryKey() + L"\\1.0\\0\\win64";
    EXPECT_TRUE(SamePath(path, ReadString(HKEY_CLASSES_ROOT, library, nullptr).value_or(L"")));
  }
};

TEST_F(Registration, Regsvr32RegistersAndRemovesTheServer) {
  const std::wstring module = ModuleFile();
  ASSERT_EQ(0u, RunRegsvr32(module));
  ExpectRegisteredFrom(module);
  // Graph builders find the filter for any video, at its merit and not
  // above; never for audio.
  EXPECT_TRUE(Offered(MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
  EXPECT_TRUE(Offered(MEDIATYPE_Video, GUID_NULL));
  EXPECT_FALSE(Offered(MEDIATYPE_Video, GUID_NULL, kMerit + 1));
  EXPECT_FALSE(Offered(MEDIATYPE_Audio, GUID_NULL, 0));
  // COM creates the classes from the registered file.
  for (const GUID* clsid : {&kClsidOverlayFilter, &kClsidPropertyPage, &kClsidAboutPage}) {
    ovl::ComPtr<IUnknown> created;
    EXPECT_EQ(S_OK, CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, created.PutVoid()));
  }

  ASSERT_EQ(0u, RunRegsvr32(module, true));
  EXPECT_FALSE(Offered(MEDIATYPE_Video, GUID_NULL, 0));
  for (const std::wstring& key : {ClassKey(kClsidOverlayFilter), ClassKey(kClsidPropertyPage),
                                  ClassKey(kClsidAboutPage), MapperEntryKey(), CategoryEntryKey(), TypeLibraryKey()}) {
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
  }
  ovl::ComPtr<IUnknown> none;
  EXPECT_EQ(REGDB_E_CLASSNOTREG,
            CoCreateInstance(kClsidOverlayFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, none.PutVoid()));
}

TEST_F(Registration, UnregisteringRemovesExactlyWhatRegisteringWrote) {
  // The settings key's parents are shared with the maker's other filters.
  WriteString(HKEY_CURRENT_USER, L"SOFTWARE\\Tern Systems, Inc.\\DShow\\Filters\\Other", L"Kept", L"1");
  const RegistrySnapshot before = TakeServerSnapshot();
  {
    LoadedModule exports(ModuleFile());
    ASSERT_TRUE(exports.Loaded());
    EXPECT_EQ(S_OK, exports.Unregister()) << "nothing registered: nothing to do";
    EXPECT_EQ("", Difference(before, TakeServerSnapshot()));

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

std::vector<std::pair<std::string, std::string>> g_messages;

std::string Narrow(const std::wstring& text) {
  char buffer[2048] = {};
  WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

// One message, caption "Error", naming the file (cut to 259 characters), and
// nothing registered; the message goes to a sink instead of a box.
TEST(TypeLibraryMessage, AFileWithoutLibraryGivesOneMessageNamingIt) {
  RemoveAllRegistration();
  ovl::ui::ModalCalls calls = ovl::ui::CurrentModalCalls();
  calls.messageBox = [](HWND, const char* text, const char* caption, UINT) {
    g_messages.emplace_back(caption, text);
    return IDOK;
  };
  const ovl::ui::ModalCalls previous = ovl::ui::SetModalCalls(calls);
  wchar_t self[MAX_PATH];  // this test program: no type library in it
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring tooLong = ModuleFile() + L"\\" + std::wstring(240, L'x') + L".dll";
  for (const std::wstring& path : {std::wstring(self), tooLong}) {
    g_messages.clear();
    const HRESULT hr = ovl::server::RegisterTypeLibrary(path);
    EXPECT_TRUE(FAILED(hr));
    if (path == tooLong) {
      EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), hr) << "refused unread";
    }
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ("Error", g_messages[0].first);
    // The status name slot stays empty while tracing is off.
    EXPECT_EQ(("Failed  to register type library: " + Narrow(path)).substr(0, 259), g_messages[0].second);
  }
  ovl::ui::SetModalCalls(previous);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TypeLibraryKey()));
}

}  // namespace
}  // namespace ovl::testing

// The filter's settings in every store: the IPersistStream stream (with its
// fixed byte layout), memory blocks, the registry, exported XML and imported
// INI files. A load restores every setting and rebuilds regions, masks and
// the image; a failed load leaves the defaults; names that cannot fit their
// 260-byte field are refused in every store.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "persistence/rk_common.h"
#include "persistence/rk_persistence.h"
#include "tests/windows/control/control_object.h"

namespace ovl::testing {
namespace {

constexpr char kSection[] = "TERN Video Overlay Filter (2.0)";

enum class Store { Stream, Memory, Registry, Xml, Ini };
const char* StoreName(Store s) {
  switch (s) {
    case Store::Stream: return "stream";
    case Store::Memory: return "memory";
    case Store::Registry: return "registry";
    case Store::Xml: return "xml";
    default: return "ini";
  }
}
const Store kStores[] = {Store::Stream, Store::Memory, Store::Registry, Store::Xml, Store::Ini};

std::string Ansi(const std::wstring& text) {
  std::string out(text.size() * 2 + 1, '\0');
  out.resize(WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, &out[0], static_cast<int>(out.size()), nullptr,
                                 nullptr) - 1);
  return out;
}

std::uint32_t U32(const std::vector<BYTE>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void PutU32(std::vector<BYTE>& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

class SettingsStores : public ControlTest {
 protected:
  std::vector<BYTE> SaveStream(ControlObject* from) {
    IStream* stream = nullptr;
    EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    EXPECT_EQ(S_OK, from->Persist()->Save(stream, TRUE));
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG got = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
    stream->Release();
    return bytes;
  }
  HRESULT LoadStream(ControlObject* to, const std::vector<BYTE>& bytes) {
    IStream* stream = nullptr;
    EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    const HRESULT hr = to->Persist()->Load(stream);
    stream->Release();
    return hr;
  }
  std::vector<BYTE> SaveMemory(ControlObject* from) {
    LONG size = 0;
    EXPECT_EQ(S_OK, from->Common()->WriteToMemory(nullptr, &size));
    std::vector<BYTE> block(size);
    EXPECT_EQ(S_OK, from->Common()->WriteToMemory(block.data(), &size));
    return block;
  }
  HRESULT SaveTo(ControlObject* from, Store store) {
    switch (store) {
      case Store::Stream: m_blob = SaveStream(from); return S_OK;
      case Store::Memory: m_blob = SaveMemory(from); return S_OK;
      case Store::Registry: return from->Common()->CommitSettings();
      case Store::Xml: {
        BSTR file = SysAllocString(Path(L"settings.xml").c_str());
        const HRESULT hr = from->Common()->ExportSettings(file);
        SysFreeString(file);
        return hr;
      }
      default: {
        CRKPersistenceImpl persistence;
        return persistence.SaveToIniFile(Ansi(Path(L"settings.ini")).c_str(), kSection, from);
      }
    }
  }
  HRESULT LoadFrom(ControlObject* to, Store store) {
    switch (store) {
      case Store::Stream: return LoadStream(to, m_blob);
      case Store::Memory: return to->Common()->LoadFromMemory(m_blob.data());
      case Store::Registry: return to->Common()->LoadSettings();
      default: {
        BSTR file = SysAllocString(Path(store == Store::Xml ? L"settings.xml" : L"settings.ini").c_str());
        const HRESULT hr = to->Common()->ImportSettings(file);
        SysFreeString(file);
        return hr;
      }
    }
  }
  // Some stored values changed from the defaults (no pictures, no regions:
  // a reset leaves those in force, and the checks compare with defaults).
  static void Disturb(IKMVVOvLy* o) {
    o->put_XPos(::LAYERTYPE_VIDEO1, 999);
    o->put_Opacity(::LAYERTYPE_VIDEO2, 7);
    o->put_LayerOrder(::LAYERTYPE_BACKGROUND, 3);
    o->put_OutputWidth(100);
    o->put_BkLayerColor(0x0000FF);
  }
  void WriteIniValue(const char* key, const char* value) {
    WritePrivateProfileStringA(kSection, key, value, Ansi(Path(L"settings.ini")).c_str());
  }

  std::vector<BYTE> m_blob;
};

TEST_F(SettingsStores, StreamFormHasTheFixedLayout) {
  Ref<ControlObject> object(NewObject());
  const std::vector<BYTE> bytes = SaveStream(object.Get());
  ASSERT_EQ(324u, bytes.size());
  EXPECT_EQ(0, std::memcmp(bytes.data(), L"00000000000 ", 24));
  ULARGE_INTEGER max{};
  EXPECT_EQ(S_OK, object->Persist()->GetSizeMax(&max));
  EXPECT_EQ(24u, max.QuadPart);
  // Position N: 15 values, then the empty mask name record.
  const std::uint32_t defaults[15] = {0, 0, 0, 0, 1920, 1080, 10, 10, 0, 0, 0, 100, 0, 0, 0};
  size_t at = 24;
  for (std::uint32_t position = 0; position < 4; ++position) {
    for (int i = 0; i < 15; ++i, at += 4)
      EXPECT_EQ(i == 1 ? position : defaults[i], U32(bytes, at)) << "position " << position << " value " << i;
    EXPECT_EQ(0xFFFFFFFFu, U32(bytes, at));
    EXPECT_EQ(0u, U32(bytes, at + 4));
    at += 8;
  }
  const std::uint32_t tail[] = {0, 0xFFFFFFFFu, 0, 1, 0, 0, 0};  // colour, name record, version, size
  for (std::uint32_t v : tail) {
    EXPECT_EQ(v, U32(bytes, at)) << "at " << at;
    at += 4;
  }

  // Names are counted UTF-16 text without terminator.
  const std::wstring image = ImageFile(L"i.bmp", 64, 48);
  BSTR name = SysAllocString(image.c_str());
  ASSERT_EQ(S_OK, object->Overlay()->put_OverlayImageFileName(name));
  SysFreeString(name);
  const std::vector<BYTE> named = SaveStream(object.Get());
  ASSERT_EQ(324 + 2 * image.size(), named.size());
  EXPECT_EQ(0xFFFFFFFFu, U32(named, 300));
  EXPECT_EQ(image.size(), U32(named, 304));
  EXPECT_EQ(0, std::memcmp(named.data() + 308, image.data(), 2 * image.size()));
}

TEST_F(SettingsStores, EveryStoreRestoresEverySetting) {
  Ref<ControlObject> source(NewObject());
  SetDistinctSettings(source->Overlay(), ImageFile(L"i.bmp", 64, 48), MaskFile(L"m.bmp", 8, 8));
  const SettingsView saved = Capture(source.Get());
  ASSERT_EQ(VARIANT_TRUE, saved.imageLoaded);
  ASSERT_EQ(126, saved.opacityLevel[source->Settings().Layers.FindPosition(ovl::LAYERTYPE_VIDEO1)]);
  for (Store store : kStores) {
    SCOPED_TRACE(StoreName(store));
    ASSERT_EQ(S_OK, SaveTo(source.Get(), store));
    Ref<ControlObject> target(NewObject());
    Disturb(target->Overlay());
    const int recomputes = target->sizeRecomputes;
    ASSERT_EQ(S_OK, LoadFrom(target.Get(), store));
    EXPECT_EQ(saved, Capture(target.Get()));
    EXPECT_GT(target->sizeRecomputes, recomputes);
    // The composite follows the loaded custom size.
    EXPECT_EQ(800u, target->Settings().CompositeWidth);
  }
  // The exported file is the XML form, titled with the filter's name.
  const std::string xml = ReadText(L"settings.xml");
  EXPECT_NE(std::string::npos, xml.find("TERN Video Overlay Filter (2.0)"));
  for (const char* key : {"<PARAMETERS>", "<Region0>", "<MaskImageFileName3", "<Version>1</Version>", "<OutputHeight>600"})
    EXPECT_NE(std::string::npos, xml.find(key)) << key;
}

TEST_F(SettingsStores, FailedLoadsLeaveTheDefaults) {
  Ref<ControlObject> fresh(NewObject());
  const SettingsView defaults = Capture(fresh.Get());
  Ref<ControlObject> source(NewObject());
  SetDistinctSettings(source->Overlay(), ImageFile(L"i.bmp", 64, 48), MaskFile(L"m.bmp", 8, 8));
  CRKPersistenceImpl persistence;
  ASSERT_EQ(S_OK, persistence.SaveToIniFile(Ansi(Path(L"other.ini")).c_str(), "Another Filter", source.Get()));
  WriteBytes(L"plain.xml", {'<', 'd', 'o', 'c', '/', '>'});
  struct Case {
    const wchar_t* file;
    HRESULT expected;
  };
  for (const Case& c : {Case{L"other.ini", E_FAIL}, Case{L"plain.xml", E_FAIL}}) {
    Ref<ControlObject> target(NewObject());
    Disturb(target->Overlay());
    BSTR file = SysAllocString(Path(c.file).c_str());
    EXPECT_EQ(c.expected, target->Common()->ImportSettings(file));
    SysFreeString(file);
    EXPECT_EQ(defaults, Capture(target.Get()));
  }
  // An empty registry key fails at its first value.
  Ref<ControlObject> target(NewObject());
  Disturb(target->Overlay());
  EXPECT_EQ(E_FAIL, target->Common()->LoadSettings());
  EXPECT_EQ(defaults, Capture(target.Get()));

  // A file that is not there is refused before anything is reset.
  Disturb(target->Overlay());
  const SettingsView disturbed = Capture(target.Get());
  BSTR missing = SysAllocString(Path(L"missing.xml").c_str());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), target->Common()->ImportSettings(missing));
  SysFreeString(missing);
  EXPECT_EQ(E_INVALIDARG, target->Common()->ImportSettings(nullptr));
  EXPECT_EQ(E_INVALIDARG, target->Common()->ExportSettings(nullptr));
  EXPECT_EQ(disturbed, Capture(target.Get()));
}

// "Version" 1 announces the output size; other stores load without it.
TEST_F(SettingsStores, VersionDecidesWhetherTheOutputSizeIsRead) {
  Ref<ControlObject> source(NewObject());
  SetDistinctSettings(source->Overlay(), ImageFile(L"i.bmp", 64, 48), MaskFile(L"m.bmp", 8, 8));
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> edits;  // value null: key removed
    HRESULT expected;
    LONG sizeType, width;
    bool reapplied;
  };
  const Case cases[] = {
      {"no version", {{"Version", nullptr}, {"OutputSizeType", nullptr}, {"OutputWidth", nullptr}, {"OutputHeight", nullptr}},
       S_OK, 0, 0, true},
      {"version 2", {{"Version", "2"}}, S_OK, 0, 0, true},
      {"no width", {{"OutputWidth", nullptr}}, E_FAIL, 1, 0, false},
      {"negative width", {{"OutputWidth", "-4"}}, E_INVALIDARG, 1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(S_OK, SaveTo(source.Get(), Store::Ini));
    for (const auto& [key, value] : c.edits) WriteIniValue(key, value);
    Ref<ControlObject> target(NewObject());
    EXPECT_EQ(c.expected, LoadFrom(target.Get(), Store::Ini));
    const SettingsView view = Capture(target.Get());
    EXPECT_EQ(c.sizeType, view.sizeType);
    EXPECT_EQ(c.width, view.width);
    EXPECT_EQ(126, view.opacityLevel[target->Settings().Layers.FindPosition(ovl::LAYERTYPE_VIDEO1)]);
    // The pictures are loaded only when the load reaches its end.
    EXPECT_EQ(c.reapplied ? VARIANT_TRUE : VARIANT_FALSE, view.imageLoaded);
    EXPECT_EQ(c.reapplied ? VARIANT_TRUE : VARIANT_FALSE, view.maskLoaded[::LAYERTYPE_VIDEO2]);
    EXPECT_FALSE(view.image.empty());  // the name itself was read
  }
}

// A store may name one layer type at two positions: it loads as stored,
// the setters of the load reach the first of the two, and the reset brings
// the four layers back.
TEST_F(SettingsStores, RepeatedLayerTypesLoadAsStored) {
  Ref<ControlObject> source(NewObject());
  ASSERT_EQ(S_OK, SaveTo(source.Get(), Store::Ini));
  WriteIniValue("Order1", "0");
  WriteIniValue("XPos0", "12");
  WriteIniValue("XPos1", "34");
  Ref<ControlObject> target(NewObject());
  ASSERT_EQ(S_OK, LoadFrom(target.Get(), Store::Ini));
  LONG position = -1, x = -1;
  EXPECT_EQ(E_INVALIDARG, target->Overlay()->get_LayerOrder(::LAYERTYPE_VIDEO1, &position));
  EXPECT_EQ(S_OK, target->Overlay()->get_LayerOrder(::LAYERTYPE_BACKGROUND, &position));
  EXPECT_EQ(0, position);
  // Both positions' XPos went to the first background record, the last one winning.
  EXPECT_EQ(S_OK, target->Overlay()->get_XPos(::LAYERTYPE_BACKGROUND, &x));
  EXPECT_EQ(34, x);
  EXPECT_EQ(34, target->Settings().Layers[1].XPos);
  EXPECT_EQ(S_OK, target->Overlay()->ResetToDefaultsEx(::KMVOverlay_APILEVEL_1));
  EXPECT_EQ(S_OK, target->Overlay()->get_LayerOrder(::LAYERTYPE_VIDEO1, &position));
  EXPECT_EQ(1, position);
}

// A name field holds 259 bytes and its terminator. Every store brings such
// a name back; a stored name of 260 bytes is refused, the field keeps its
// default and the load reports it, without reading on.
TEST_F(SettingsStores, NamesThatCannotFitTheirFieldAreRefusedInEveryStore) {
  const std::string longest = "C:\\" + std::string(256, 'n');
  const std::string tooLong = longest + "x";
  ASSERT_EQ(259u, longest.size());
  Ref<ControlObject> source(NewObject());
  ASSERT_EQ(S_OK, source->Overlay()->put_BkLayerColor(0x00ABCDEF));
  ASSERT_EQ(S_OK, source->Overlay()->put_OutputWidth(320));
  // No file of such a name exists: the field is set as a load would set it.
  std::memcpy(source->Settings().OverlayImageFileName, longest.c_str(), longest.size() + 1);
  for (Store store : kStores) {
    SCOPED_TRACE(StoreName(store));
    ASSERT_EQ(S_OK, SaveTo(source.Get(), store));
    Ref<ControlObject> target(NewObject());
    ASSERT_EQ(S_OK, LoadFrom(target.Get(), store));
    EXPECT_EQ(longest, target->Settings().OverlayImageFileName);
    EXPECT_EQ(320, target->Settings().OutputWidth);

    // Now the same store with one more byte in the name.
    switch (store) {
      case Store::Stream:
      case Store::Memory: {
        const size_t at = store == Store::Stream ? 300 : 276;
        std::vector<BYTE> form(m_blob.begin(), m_blob.begin() + at);
        PutU32(form, 0xFFFFFFFFu);
        PutU32(form, static_cast<std::uint32_t>(tooLong.size()));
        for (char ch : tooLong) form.insert(form.end(), {static_cast<BYTE>(ch), 0});
        form.insert(form.end(), m_blob.begin() + at + 8 + 2 * longest.size(), m_blob.end());
        m_blob = form;
        break;
      }
      case Store::Registry: {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, m_registryKey.c_str(), 0, KEY_SET_VALUE, &key));
        RegSetValueExA(key, "ImageFileName", 0, REG_SZ, reinterpret_cast<const BYTE*>(tooLong.c_str()),
                       static_cast<DWORD>(tooLong.size() + 1));
        RegCloseKey(key);
        break;
      }
      case Store::Xml: {
        std::string xml = ReadText(L"settings.xml");
        const size_t at = xml.find(longest);
        ASSERT_NE(std::string::npos, at);
        xml.replace(at, longest.size(), tooLong);
        WriteBytes(L"settings.xml", std::vector<std::uint8_t>(xml.begin(), xml.end()));
        break;
      }
      case Store::Ini: WriteIniValue("ImageFileName", tooLong.c_str()); break;
    }
    Ref<ControlObject> refused(NewObject());
    EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, LoadFrom(refused.Get(), store));
    EXPECT_STREQ("", refused->Settings().OverlayImageFileName);
    EXPECT_EQ(0x00ABCDEFu, refused->Settings().BkLayerColor);  // read before the name
    EXPECT_EQ(0, refused->Settings().OutputWidth);             // never reached
  }
}

// The stream reader also takes names stored as ANSI bytes with a 64-bit count.
TEST_F(SettingsStores, StreamLoadsNarrowNameRecords) {
  Ref<ControlObject> source(NewObject());
  const std::vector<BYTE> saved = SaveStream(source.Get());
  auto withImageName = [&](const std::string& name) {
    std::vector<BYTE> form(saved.begin(), saved.begin() + 300);
    PutU32(form, static_cast<std::uint32_t>(name.size()));
    PutU32(form, 0);
    form.insert(form.end(), name.begin(), name.end());
    form.insert(form.end(), saved.begin() + 308, saved.end());
    return form;
  };
  const std::string longest = "D:\\" + std::string(256, 'w');
  Ref<ControlObject> target(NewObject());
  ASSERT_EQ(S_OK, LoadStream(target.Get(), withImageName(longest)));
  EXPECT_EQ(longest, target->Settings().OverlayImageFileName);
  EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, LoadStream(target.Get(), withImageName(longest + "w")));
  EXPECT_STREQ("", target->Settings().OverlayImageFileName);
}

}  // namespace
}  // namespace ovl::testing

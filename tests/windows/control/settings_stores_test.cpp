// The filter's settings in every store: the IPersistStream stream (with its
// fixed byte layout), memory blocks, the registry, exported XML and imported
// INI files. A load restores every setting and rebuilds regions, masks and
// the image; a failed load leaves the defaults; names that cannot fit their
// 260-byte field are refused in every store; damaged forms give a result
// and never crash, and a memory load never reads past the form's bound.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "persistence/filter/overlay_settings_archive.h"
#include "tests/windows/control/store_fixture.h"

namespace ovl::testing {
namespace {

class SettingsStores : public StoreFixture {
 protected:
  // Some stored values changed from the defaults (no pictures, no regions:
  // a reset leaves those in force, and the checks compare with defaults).
  static void Disturb(const Filter& f) {
    f.O()->put_XPos(::LAYERTYPE_VIDEO1, 999);
    f.O()->put_Opacity(::LAYERTYPE_VIDEO2, 7);
    f.O()->put_LayerOrder(::LAYERTYPE_BACKGROUND, 3);
    f.O()->put_OutputWidth(100);
    f.O()->put_BkLayerColor(0x0000FF);
  }
};

TEST_F(SettingsStores, StreamFormHasTheFixedLayout) {
  Filter filter;
  const std::vector<BYTE> bytes = SaveStream(filter);
  ASSERT_EQ(324u, bytes.size());
  EXPECT_EQ(0, std::memcmp(bytes.data(), L"00000000000 ", 24));
  ULARGE_INTEGER max{};
  EXPECT_EQ(S_OK, filter.P()->GetSizeMax(&max));
  EXPECT_EQ(24u, max.QuadPart);
  // Position N: 15 values, then the empty mask name record (UTF-16 marker, count 0).
  const std::uint32_t defaults[15] = {0, 0, 0, 0, 1920, 1080, 10, 10, 0, 0, 0, 100, 0, 0, 0};
  size_t at = 24;
  for (std::uint32_t position = 0; position < 4; ++position) {
    for (int i = 0; i < 15; ++i, at += 4)
      EXPECT_EQ(i == 1 ? position : defaults[i], U32(bytes, at)) << "position " << position << " value " << i;
    EXPECT_EQ(0xFFFFFFFFu, U32(bytes, at));
    EXPECT_EQ(0u, U32(bytes, at + 4));
    at += 8;
  }
  for (std::uint32_t v : {0u, 0xFFFFFFFFu, 0u, 1u, 0u, 0u, 0u}) {  // colour, name record, version, size
    EXPECT_EQ(v, U32(bytes, at)) << "at " << at;
    at += 4;
  }
}

TEST_F(SettingsStores, EveryStoreRestoresEverySettingAndTheLayerOrder) {
  Filter source;
  SetDistinctSettings(source.O());
  const SettingsView saved = Capture(source);
  for (Store store : kStores) {
    SCOPED_TRACE(StoreName(store));
    ASSERT_EQ(S_OK, SaveTo(source, store));
    Filter target;
    Disturb(target);
    ASSERT_EQ(S_OK, LoadFrom(target, store));
    EXPECT_EQ(saved, Capture(target));
    EXPECT_EQ(800u, target.object->Settings().CompositeWidth);  // the composite follows the loaded size
    RegDeleteTreeA(HKEY_CURRENT_USER, ovl::identity::kSettingsKeyA);
  }
  // The exported file is the XML form, titled with the filter's name.
  const std::string xml = ReadText(Store::Xml);
  for (const char* key : {kSection, "<PARAMETERS>", "<Region0>", "<MaskImageFileName3", "<Version>1</Version>", "<OutputHeight>600"})
    EXPECT_NE(std::string::npos, xml.find(key)) << key;
}

TEST_F(SettingsStores, FailedLoadsLeaveTheDefaults) {
  const SettingsView defaults = Capture(Filter());
  Filter target;
  ASSERT_EQ(S_OK, CRKPersistenceImpl().SaveToIniFile(File(Store::Ini).c_str(), "Another Filter", Filter().object));
  dir.Write(L"settings.xml", {'<', 'd', 'o', 'c', '/', '>'});
  // An INI file without the filter's section, an XML document without
  // PARAMETERS and an empty registry key fail at their first value.
  for (Store store : {Store::Ini, Store::Xml, Store::Registry}) {
    Disturb(target);
    EXPECT_EQ(E_FAIL, LoadFrom(target, store));
    EXPECT_EQ(defaults, Capture(target));
  }
  // A file that is not there is refused before anything is reset.
  Disturb(target);
  const SettingsView disturbed = Capture(target);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), Transfer(target, &IKMMCommon::ImportSettings, dir.Path(L"no.xml")));
  EXPECT_EQ(E_INVALIDARG, Transfer(target, &IKMMCommon::ImportSettings, L""));
  EXPECT_EQ(E_INVALIDARG, Transfer(target, &IKMMCommon::ExportSettings, L""));
  EXPECT_EQ(disturbed, Capture(target));
}

// "Version" 1 announces the output size; other stores load without it. The
// pictures load only when the load reaches its end.
TEST_F(SettingsStores, VersionDecidesWhetherTheOutputSizeIsRead) {
  Filter source;
  SetDistinctSettings(source.O());
  struct Case {
    std::vector<std::pair<const char*, const char*>> edits;  // value null: key removed
    HRESULT expected;
    LONG sizeType, width;
    VARIANT_BOOL picturesLoaded;
  };
  const Case cases[] = {
      {{{"Version", nullptr}, {"OutputSizeType", nullptr}, {"OutputWidth", nullptr}, {"OutputHeight", nullptr}}, S_OK, 0, 0,
       VARIANT_TRUE},
      {{{"Version", "2"}}, S_OK, 0, 0, VARIANT_TRUE},
      {{{"OutputWidth", nullptr}}, E_FAIL, 1, 0, VARIANT_FALSE},
      {{{"OutputWidth", "-4"}}, E_INVALIDARG, 1, 0, VARIANT_FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edits[0].first + std::string(c.edits[0].second ? c.edits[0].second : " removed"));
    ASSERT_EQ(S_OK, SaveTo(source, Store::Ini));
    for (const auto& [key, value] : c.edits) WriteIniValue(key, value);
    Filter target;
    EXPECT_EQ(c.expected, LoadFrom(target, Store::Ini));
    const OverlaySettings& s = target.object->Settings();
    EXPECT_EQ(c.sizeType, static_cast<LONG>(s.OutputSizeType));
    EXPECT_EQ(c.width, s.OutputWidth);
    EXPECT_NE('\0', s.OverlayImageFileName[0]);  // read in any case
    VARIANT_BOOL loaded[2];
    target.O()->get_IsOverlayImageLoaded(&loaded[0]);
    target.O()->get_IsMaskImageLoaded(::LAYERTYPE_VIDEO2, &loaded[1]);
    EXPECT_EQ(c.picturesLoaded, loaded[0]);
    EXPECT_EQ(c.picturesLoaded, loaded[1]);
  }
}

// A name field holds 259 bytes and its terminator. Every store brings such
// a name back; a stored name of 260 bytes is refused, the field keeps its
// default and the load reports it, without reading on.
TEST_F(SettingsStores, NamesThatCannotFitTheirFieldAreRefusedInEveryStore) {
  const std::string longest = "C:\\" + std::string(256, 'n'), tooLong = longest + "x";
  Filter source;
  ASSERT_EQ(S_OK, source.O()->put_BkLayerColor(0x00ABCDEF));
  ASSERT_EQ(S_OK, source.O()->put_OutputWidth(320));
  // No file of such a name exists: the field is set as a load would set it.
  std::memcpy(source.object->Settings().OverlayImageFileName, longest.c_str(), longest.size() + 1);
  // The form with its image name record (at `at`) holding another name.
  auto withName = [](const std::vector<BYTE>& form, size_t at, const std::string& name) {
    std::vector<BYTE> out(form.begin(), form.begin() + at);
    PutU32(out, 0xFFFFFFFFu);
    PutU32(out, static_cast<std::uint32_t>(name.size()));
    for (char ch : name) out.insert(out.end(), {static_cast<BYTE>(ch), 0});
    out.insert(out.end(), form.begin() + at + 8 + 2 * U32(form, at + 4), form.end());
    return out;
  };
  for (Store store : kStores) {
    SCOPED_TRACE(StoreName(store));
    ASSERT_EQ(S_OK, SaveTo(source, store));
    Filter target;
    ASSERT_EQ(S_OK, LoadFrom(target, store));
    EXPECT_EQ(longest, target.object->Settings().OverlayImageFileName);
    EXPECT_EQ(320, target.object->Settings().OutputWidth);

    // The same store with one more byte in the name.
    const size_t at = store == Store::Stream ? 300 : 276;
    if (store == Store::Stream || store == Store::Memory) m_blob = withName(m_blob, at, tooLong);
    if (store == Store::Ini) WriteIniValue("ImageFileName", tooLong.c_str());
    if (store == Store::Registry) {
      ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, ovl::identity::kSettingsKeyA, "ImageFileName",
                                               REG_SZ, tooLong.c_str(), static_cast<DWORD>(tooLong.size() + 1)));
    }
    if (store == Store::Xml) {
      std::string xml = ReadText(store);
      ASSERT_NE(std::string::npos, xml.find(longest));
      xml.replace(xml.find(longest), longest.size(), tooLong);
      dir.Write(L"settings.xml", std::vector<std::uint8_t>(xml.begin(), xml.end()));
    }
    Filter refused;
    EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, LoadFrom(refused, store));
    EXPECT_STREQ("", refused.object->Settings().OverlayImageFileName);
    EXPECT_EQ(0x00ABCDEFu, refused.object->Settings().BkLayerColor);  // read before the name
    EXPECT_EQ(0, refused.object->Settings().OutputWidth);             // never reached
    RegDeleteTreeA(HKEY_CURRENT_USER, ovl::identity::kSettingsKeyA);
    if (store != Store::Memory) continue;
    // A block has no size: a name whose length words alone rule it out ends
    // the form there, and the load still reports the refused name.
    m_blob = withName(m_blob, at, std::string(600, 'w'));
    EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, LoadFrom(refused, store));
  }
}

// Whatever a load brings, every layer type stays at exactly one position:
// each answers its properties and LayerOrder, and the positions are 0 to 3.
void ExpectWholeLayerTable(const Filter& f, const std::vector<LONG>& expectedOrder) {
  std::vector<LONG> order(4, -1);
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(S_OK, f.O()->get_LayerOrder(Layer(t), &order[t])) << t;
    for (const Property& p : kProperties) {
      LONG value = 0;
      EXPECT_EQ(S_OK, p.get(f.O(), Layer(t), &value)) << t;
    }
  }
  EXPECT_EQ(expectedOrder, order);
}

// The table is a permutation on every path: a load that fails after some
// "Order" values keeps the default order, unless all four were read; values
// out of range or repeated fail the load with E_INVALIDARG and change nothing
// of the order.
TEST_F(SettingsStores, TheLayerTableStaysAPermutationWhateverTheStoreHolds) {
  const std::vector<LONG> defaultOrder = {0, 1, 2, 3};
  Filter source;  // positions 0..3 hold image, video 2, background, video 1
  for (auto [type, position] : {std::pair{::LAYERTYPE_OVERLAYIMAGE, 0}, {::LAYERTYPE_VIDEO2, 1}, {::LAYERTYPE_BACKGROUND, 2}}) {
    ASSERT_EQ(S_OK, source.O()->put_LayerOrder(type, position));
  }
  const std::vector<LONG> savedOrder = {2, 3, 1, 0};
  const std::string tooLong(300, 'n');
  struct Damage {
    std::vector<std::pair<const char*, const char*>> values;
    HRESULT expected;
    const std::vector<LONG>* order;
  };
  const Damage damages[] = {
      // The load fails after "Order0", "Order1", "Order2" or "Order3" (at the
      // mask name of that position, in every store alike).
      {{{"MaskImageFileName0", tooLong.c_str()}}, RK_E_INSUFFICIENT_BUFFER, &defaultOrder},
      {{{"MaskImageFileName1", tooLong.c_str()}}, RK_E_INSUFFICIENT_BUFFER, &defaultOrder},
      {{{"MaskImageFileName2", tooLong.c_str()}}, RK_E_INSUFFICIENT_BUFFER, &defaultOrder},
      {{{"MaskImageFileName3", tooLong.c_str()}}, RK_E_INSUFFICIENT_BUFFER, &savedOrder},
      {{{"Order1", "-1"}}, E_INVALIDARG, &defaultOrder},
      {{{"Order3", "4"}}, E_INVALIDARG, &defaultOrder},
      {{{"Order0", "9"}}, E_INVALIDARG, &defaultOrder},
      {{{"Order2", "-2147483648"}}, E_INVALIDARG, &defaultOrder},
      {{{"Order2", "2147483647"}}, E_INVALIDARG, &defaultOrder},
      {{{"Order2", "2"}}, E_INVALIDARG, &defaultOrder},  // video 2 twice, video 1 nowhere
      {{{"Order0", "0"}, {"Order1", "-1"}, {"Order2", "3"}, {"Order3", "9"}}, E_INVALIDARG, &defaultOrder},
      {{{"Order0", "1"}, {"Order1", "1"}, {"Order2", "1"}, {"Order3", "1"}}, E_INVALIDARG, &defaultOrder},
      {{{"Order0", "3"}, {"Order1", "2"}, {"Order2", "1"}, {"Order3", "0"}}, S_OK, nullptr},  // another whole order
  };
  const std::vector<LONG> reversed = {3, 2, 1, 0};
  for (Store store : kStores) {
    for (const Damage& d : damages) {
      SCOPED_TRACE(::testing::Message() << StoreName(store) << " " << d.values[0].first << "=" << std::string(d.values[0].second).substr(0, 12));
      ASSERT_EQ(S_OK, SaveTo(source, store));
      for (const auto& [key, value] : d.values) EditStored(store, key, value);
      Filter target;
      ASSERT_EQ(S_OK, target.O()->put_LayerOrder(::LAYERTYPE_VIDEO1, 3));  // the load starts from a reset
      EXPECT_EQ(d.expected, LoadFrom(target, store));
      ExpectWholeLayerTable(target, d.order != nullptr ? *d.order : reversed);
      if (store == Store::Registry) {  // a filter made now starts from that store
        Filter created;
        ExpectWholeLayerTable(created, d.order != nullptr ? *d.order : reversed);
      }
      RegDeleteTreeA(HKEY_CURRENT_USER, ovl::identity::kSettingsKeyA);
    }
  }
}

TEST_F(SettingsStores, MemoryTransfersCheckTheirArgumentsAndReadNoFurtherThanTheForm) {
  Filter source;
  SetDistinctSettings(source.O());
  EXPECT_EQ(E_INVALIDARG, source.C()->WriteToMemory(nullptr, nullptr));
  EXPECT_EQ(E_POINTER, source.C()->LoadFromMemory(nullptr));
  LONG size = 0;
  ASSERT_EQ(S_OK, source.C()->WriteToMemory(nullptr, &size));
  // 300 bytes of values plus the UTF-16 text of the two names.
  const OverlaySettings& s = source.object->Settings();
  EXPECT_EQ(static_cast<LONG>(300 + 2 * (std::strlen(s.OverlayImageFileName) + std::strlen(s.Layers.FindLayer(ovl::LAYERTYPE_VIDEO2)->MaskImageFileName))),
            size);
  // A block given with its size: too small is refused and left untouched.
  std::vector<BYTE> block(size + 16, 0xAB);
  LONG capacity = size - 1;
  EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, source.C()->WriteToMemory(block.data(), &capacity));
  EXPECT_EQ(size, capacity);
  EXPECT_EQ(std::vector<BYTE>(size + 16, 0xAB), block);
  capacity = size;
  ASSERT_EQ(S_OK, source.C()->WriteToMemory(block.data(), &capacity));
  EXPECT_EQ(0xAB, block[size]);
  std::vector<BYTE> form(size);
  ASSERT_EQ(S_OK, source.C()->WriteToMemory(form.data(), nullptr));
  EXPECT_TRUE(std::equal(form.begin(), form.end(), block.begin()));

  // The form is read to its last byte and not one further; one of layout 0
  // (no output size values) ends after "Version".
  GuardedBlock guarded(size);
  Filter target;
  ASSERT_EQ(S_OK, target.C()->LoadFromMemory(guarded.Place(form)));
  EXPECT_EQ(Capture(source), Capture(target));
  form.resize(form.size() - 12);
  form[form.size() - 4] = 0;
  CMemoryFormExtent extent;
  ASSERT_EQ(S_OK, ovl::control::MeasureOverlaySettingsForm(form.data(), &extent));
  EXPECT_EQ(form.size(), extent.cbForm);
  EXPECT_EQ(S_OK, target.C()->LoadFromMemory(guarded.Place(form)));
}

// Truncated and bit-flipped forms through IPersistStream and LoadFromMemory:
// every load returns an HRESULT, none crashes, and a memory load reads no
// further than the bound (a no-access page follows it).
TEST_F(SettingsStores, DamagedFormsGiveAResultAndNeverCrash) {
  Filter source;
  SetDistinctSettings(source.O());
  const std::vector<BYTE> stream = SaveStream(source);
  const std::vector<BYTE> form(stream.begin() + 24, stream.end());
  std::vector<std::vector<BYTE>> damaged;
  for (size_t cut = 0; cut < form.size(); cut += 3) damaged.emplace_back(form.begin(), form.begin() + cut);
  constexpr unsigned kSeed = 20240611;
  std::mt19937 random(kSeed);
  for (int i = 0; i < 400; ++i) {
    damaged.push_back(form);
    for (int flips = 1 + i % 3; flips > 0; --flips) damaged.back()[random() % form.size()] ^= static_cast<BYTE>(1u << (random() % 8));
  }
  for (size_t at : {size_t{60}, size_t{276}, size_t{280}}) {  // length words far beyond any name field
    damaged.push_back(form);
    damaged.back()[at + 2] = 0xFF;
    damaged.back()[at + 3] = 0x3F;
  }
  GuardedBlock block(ovl::control::kMaxOverlayFormBytes);
  int loads = 0, succeeded = 0;
  for (const std::vector<BYTE>& bytes : damaged) {
    std::vector<BYTE> headed(stream.begin(), stream.begin() + 24);
    headed.insert(headed.end(), bytes.begin(), bytes.end());
    Filter target;
    const HRESULT viaStream = LoadStream(target, headed);
    // A form cut before its "Version" value fails; one cut later loads
    // without the output size, as a store of the older layout does.
    if (bytes.size() + 16 < form.size()) {
      EXPECT_TRUE(FAILED(viaStream)) << bytes.size();
    }
    std::vector<BYTE> padded = bytes;
    padded.resize(ovl::control::kMaxOverlayFormBytes, 0);
    const HRESULT viaMemory = target.C()->LoadFromMemory(block.Place(padded));
    loads += 2;
    succeeded += SUCCEEDED(viaStream) + SUCCEEDED(viaMemory);
    for (int t = 0; t < 4; ++t) {  // whatever was loaded, the interface still answers
      LONG value = 0;
      for (const Property& p : kProperties) p.get(target.O(), Layer(t), &value);
      BSTR name = nullptr;
      target.O()->get_MaskImageFileName(Layer(t), &name);
      SysFreeString(name);
    }
  }
  std::printf("[ damaged ] seed %u, %d damaged forms, %d loads, %d succeeded, %d refused\n", kSeed,
              static_cast<int>(damaged.size()), loads, succeeded, loads - succeeded);
  EXPECT_GE(damaged.size(), 400u);
}

}  // namespace
}  // namespace ovl::testing

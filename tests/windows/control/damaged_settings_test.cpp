// Settings damaged the way a store from someone else may be, in every store:
// each numeric value set to boundary values (0, -1, INT_MIN, INT_MAX, powers
// of two and their neighbours), alone and in the pairs that make one shape
// (a rectangle corner, the corner ellipse, the position, the output size).
// Every load returns a code, and afterwards the layer table is whole, every
// region handle is a live region, the output size is a frame size and the
// heap is whole. The cases run in child processes, so that one that
// crashes, hangs or only damages memory is caught and named.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/overlay_settings.h"
#include "tests/windows/control/store_fixture.h"
#include "tests/windows/support/case_processes.h"

namespace ovl::testing {
namespace {

struct Edit {
  std::string key;
  std::string text;
};
struct DamageCase {
  Store store;
  std::vector<Edit> edits;
};

// Unsigned keys hold colours; a text store writes them as unsigned numbers.
std::string AsStoredText(const std::string& key, long long value) {
  const bool colour = key.rfind("TransparentColor", 0) == 0 || key == "BackgroundColor";
  return colour ? std::to_string(static_cast<std::uint32_t>(value)) : std::to_string(static_cast<std::int32_t>(value));
}

// The stream form takes every numeric key, and every pair, with every
// boundary value; the other stores (the same values after parsing, slower
// to edit) take the eight plain boundaries and a seeded eighth of the
// powers of two. OVL_DAMAGE_SEED picks another eighth.
unsigned Seed() {
  char text[32] = {};
  return GetEnvironmentVariableA("OVL_DAMAGE_SEED", text, sizeof text) > 0 ? std::strtoul(text, nullptr, 10) : 20261207u;
}

std::vector<DamageCase> BoundaryCases(unsigned seed) {
  const std::vector<long long> values = BoundaryValues();
  constexpr size_t kPlain = 8;  // BoundaryValues() begins with 0, 1, -1, -2 and the four extremes
  std::vector<std::string> numeric;
  for (const StoredKey& k : StoredKeys()) {
    if (!k.string) numeric.push_back(k.name);
  }
  std::vector<std::vector<std::string>> groups;
  for (const std::string& key : numeric) groups.push_back({key});
  groups.push_back({"OutputWidth", "OutputHeight"});
  for (int p = 0; p < 4; ++p) {
    const std::string n = std::to_string(p);
    for (auto [a, b] : {std::pair{"RgnRight", "RgnBottom"}, {"RgnLeft", "RgnTop"}, {"RgnRoundWidth", "RgnRoundHeight"},
                        {"XPos", "YPos"}}) {
      groups.push_back({a + n, b + n});
    }
  }
  std::mt19937 random(seed);
  std::vector<DamageCase> cases;
  for (Store store : kStores) {
    for (const std::vector<std::string>& keys : groups) {
      for (size_t i = 0; i < values.size(); ++i) {
        if (store != Store::Stream && i >= kPlain && random() % 8 != 0) continue;
        DamageCase c{store, {}};
        for (const std::string& key : keys) c.edits.push_back({key, AsStoredText(key, values[i])});
        cases.push_back(c);
      }
    }
  }
  return cases;
}

std::string Describe(const DamageCase& c) {
  std::string text = StoreName(c.store);
  for (const Edit& e : c.edits) text += " " + e.key + "=" + e.text;
  return text;
}

class DamagedSettings : public StoreFixture {
 protected:
  // Saves the source settings to every store once (in this process): every
  // value unlike its default, a region of each shape, the layers in another
  // order; no pictures (their loading is not what these cases damage).
  void SaveSources() {
    Filter source;
    IKMVVOvLy* o = source.O();
    for (int t = 0; t < 4; ++t) {
      EXPECT_EQ(S_OK, o->put_RgnLeft(Layer(t), 3 + t));
      EXPECT_EQ(S_OK, o->put_RgnTop(Layer(t), 4 + t));
      EXPECT_EQ(S_OK, o->put_RgnRight(Layer(t), 300 + t));
      EXPECT_EQ(S_OK, o->put_RgnBottom(Layer(t), 200 + t));
      EXPECT_EQ(S_OK, o->put_RgnRoundRectEllipseWidth(Layer(t), 11 + t));
      EXPECT_EQ(S_OK, o->put_RgnRoundRectEllipseHeight(Layer(t), 12 + t));
      EXPECT_EQ(S_OK, o->put_XPos(Layer(t), 5 * t + 1));
      EXPECT_EQ(S_OK, o->put_YPos(Layer(t), 3 * t + 2));
      EXPECT_EQ(S_OK, o->put_Region(Layer(t), static_cast<::RegionConstants>(t)));
      EXPECT_EQ(S_OK, o->put_EnableOpacity(Layer(t), t % 2 ? VARIANT_TRUE : VARIANT_FALSE));
      EXPECT_EQ(S_OK, o->put_Opacity(Layer(t), 10 * t + 5));
      EXPECT_EQ(S_OK, o->put_EnableTransparency(Layer(t), t % 2 ? VARIANT_FALSE : VARIANT_TRUE));
      EXPECT_EQ(S_OK, o->put_TransparentColor(Layer(t), 0x00102030 + t));
    }
    EXPECT_EQ(S_OK, o->put_BkLayerColor(0x00336699));
    EXPECT_EQ(S_OK, o->put_OutputSizeType(::OUTPUTSIZETYPE_CUSTOM));
    EXPECT_EQ(S_OK, o->put_OutputWidth(800));
    EXPECT_EQ(S_OK, o->put_OutputHeight(600));
    EXPECT_EQ(S_OK, o->put_LayerOrder(::LAYERTYPE_OVERLAYIMAGE, 0));
    for (Store store : kStores) {
      ASSERT_EQ(S_OK, SaveTo(source, store));
      if (store == Store::Stream) stream_ = m_blob;
      if (store == Store::Memory) memory_ = m_blob;
      if (store == Store::Xml) xml_ = ReadText(store);
    }
    target_ = std::make_unique<Filter>();
  }

  // The stored text of a value in the INI file or the registry.
  std::string StoredText(Store store, const std::string& key) const {
    char text[64] = {};
    if (store == Store::Ini) {
      GetPrivateProfileStringA(kSection, key.c_str(), "", text, sizeof text, File(store).c_str());
    } else {
      DWORD size = sizeof text;
      RegGetValueA(HKEY_CURRENT_USER, ovl::identity::kSettingsKeyA, key.c_str(), RRF_RT_REG_SZ, nullptr, text, &size);
    }
    return text;
  }

  // Loads the damaged store into a new filter and checks what it left.
  bool Run(const DamageCase& c) {
    std::vector<Edit> originals;
    if (c.store == Store::Stream) m_blob = stream_;
    if (c.store == Store::Memory) m_blob = memory_;
    if (c.store == Store::Xml) dir.Write(L"settings.xml", std::vector<std::uint8_t>(xml_.begin(), xml_.end()));
    for (const Edit& e : c.edits) {
      if (c.store == Store::Ini || c.store == Store::Registry) originals.push_back({e.key, StoredText(c.store, e.key)});
      EditStored(c.store, e.key, e.text.c_str());
    }
    // One filter takes every load of the process: each load starts from a reset.
    const HRESULT hr = LoadFrom(*target_, c.store);
    ExpectSoundState(*target_);
    for (const Edit& e : originals) EditStored(c.store, e.key, e.text.c_str());
    return SUCCEEDED(hr);
  }

  static void ExpectSoundState(const Filter& f) {
    std::vector<LONG> order(4, -1);
    for (int t = 0; t < 4; ++t) {
      EXPECT_EQ(S_OK, f.O()->get_LayerOrder(Layer(t), &order[t])) << "layer type " << t;
      for (const Property& p : kProperties) {
        LONG value = 0;
        EXPECT_EQ(S_OK, p.get(f.O(), Layer(t), &value)) << "layer type " << t;
      }
    }
    std::sort(order.begin(), order.end());
    EXPECT_EQ((std::vector<LONG>{0, 1, 2, 3}), order) << "the layer table is not a permutation";
    const OverlaySettings& s = f.object->Settings();
    EXPECT_TRUE(s.OutputWidth >= 0 && s.OutputWidth <= kMaxFrameSide) << s.OutputWidth;
    EXPECT_TRUE(s.OutputHeight >= 0 && s.OutputHeight <= kMaxFrameSide) << s.OutputHeight;
    for (int position = 0; position < 4; ++position) {
      const LayerSettings& layer = s.Layers[position];
      RECT box{};
      if (layer.HasRegion()) {
        EXPECT_NE(ERROR, GetRgnBox(static_cast<HRGN>(layer.RegionHandle), &box)) << "a broken region at " << position;
      }
    }
  }

  std::unique_ptr<Filter> target_;
  std::vector<BYTE> stream_, memory_;
  std::string xml_;
};

TEST_F(DamagedSettings, BoundaryValuesInEveryStore) {
  const unsigned seed = Seed();
  const std::vector<DamageCase> cases = BoundaryCases(seed);
  if (IsCaseChild()) ASSERT_NO_FATAL_FAILURE(SaveSources());
  const CaseTally tally = RunCasesInChildren(
      static_cast<int>(cases.size()), 1500, [&](int i) { return Run(cases[i]); },
      [&](int i) { return Describe(cases[i]); });
  target_.reset();
  if (IsCaseChild()) return;
  std::printf("damaged settings: seed %u, %d boundary-value cases in 5 stores, %d processes: %d loads succeeded, "
              "%d refused, %zu failing (crashes, hangs, damaged heaps or broken state)\n",
              seed, tally.cases, tally.children, tally.accepted, tally.refused, tally.failures.size());
  for (size_t i = 0; i < tally.failures.size() && i < 30; ++i) ADD_FAILURE() << tally.failures[i];
  EXPECT_TRUE(tally.failures.empty()) << tally.failures.size() << " failing cases";
  EXPECT_EQ(static_cast<int>(cases.size()), tally.cases);
}

}  // namespace
}  // namespace ovl::testing

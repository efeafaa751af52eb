// The settings page on a filter inside a graph: the ranges it offers follow
// the pictures the inputs bring, also when an upstream filter connects or
// goes away while the page is open.
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"
#include "tests/windows/ui/settings_page_fixture.h"

namespace ovl::testing {
namespace {

class SettingsPageInGraph : public SettingsPageTest {
 protected:
  void SetUp() override {
    SettingsPageTest::SetUp();
    graph = CreateGraphWithoutClock();
    ASSERT_TRUE(graph);
    filterBase = filter.As<IBaseFilter>(IID_IBaseFilter);
    ASSERT_EQ(S_OK, graph->AddFilter(filterBase.Get(), L"Overlay"));
  }
  void TearDown() override {
    page.reset();
    for (CScriptedSource* source : sources) {
      graph->RemoveFilter(source);
      source->Release();
    }
    if (graph) graph->RemoveFilter(filterBase.Get());
    filterBase.Reset();
    graph.Reset();
    SettingsPageTest::TearDown();
  }
  // A source of the given frame size connected to input `index`.
  CScriptedSource* Connect(int index, LONG width, LONG height) {
    HRESULT hr = S_OK;
    CScriptedSource* source = CScriptedSource::Create(width, height, &hr);
    EXPECT_TRUE(source != nullptr && SUCCEEDED(hr));
    if (source == nullptr) return nullptr;
    sources.push_back(source);
    graph->AddFilter(source, nullptr);
    EXPECT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), FindPin(filterBase.Get(), PINDIR_INPUT, index).Get(),
                                         nullptr));
    return source;
  }
  int SpinHigh(int id) const {
    int low = 0, high = 0;
    page->SpinRange(id, &low, &high);
    return high;
  }
  // Waits, pumping the page's messages, until the spin's upper limit is
  // `high`; the page looks at its inputs every 100 ms.
  bool SpinHighBecomes(int id, int high) {
    return PumpUntil([&] { return SpinHigh(id) == high; }, 5000);
  }

  ovl::ComPtr<IGraphBuilder> graph;
  ovl::ComPtr<IBaseFilter> filterBase;
  std::vector<CScriptedSource*> sources;
};

TEST_F(SettingsPageInGraph, RangesFollowTheConnectedPictures) {
  Connect(0, 320, 240);
  Connect(1, 160, 120);
  Open();
  EXPECT_EQ(320, SpinHigh(IDC_XPOS_SPIN)) << "positions range over the composite frame";
  EXPECT_EQ(240, SpinHigh(IDC_YPOS_SPIN));
  SelectLayer(::LAYERTYPE_VIDEO2);
  EXPECT_EQ(160, SpinHigh(IDC_RGN_RIGHT_SPIN)) << "a region ranges over its own layer";
  EXPECT_EQ(119, SpinHigh(IDC_RGN_TOP_SPIN));
  page->Click(IDC_ENABLE_OPACITY);
  page->SelectCombo(IDC_REGION_TYPE, ::REGION_RECT);
  page->Type(IDC_RGN_RIGHT, "500");
  EXPECT_EQ("160", page->Text(IDC_RGN_RIGHT));
  page->Type(IDC_XPOS, "500");
  EXPECT_EQ("320", page->Text(IDC_XPOS));
}

TEST_F(SettingsPageInGraph, AnUpstreamFilterConnectingOrLeavingUpdatesTheRanges) {
  Open();
  page->SelectList(IDC_LAYER_LIST, 1);  // video 1
  page->Type(IDC_XPOS, "1000");
  EXPECT_EQ(1920, SpinHigh(IDC_XPOS_SPIN));
  EXPECT_EQ(1920, SpinHigh(IDC_RGN_RIGHT_SPIN));

  CScriptedSource* source = Connect(0, 640, 480);
  ASSERT_TRUE(SpinHighBecomes(IDC_XPOS_SPIN, 640)) << "still " << SpinHigh(IDC_XPOS_SPIN);
  EXPECT_EQ(640, SpinHigh(IDC_RGN_RIGHT_SPIN));
  EXPECT_EQ(479, SpinHigh(IDC_RGN_TOP_SPIN));
  EXPECT_EQ("640", page->Text(IDC_XPOS)) << "a position past the new frame is pulled in";

  ASSERT_EQ(S_OK, graph->Disconnect(source->OutputPin()));
  ASSERT_EQ(S_OK, graph->Disconnect(FindPin(filterBase.Get(), PINDIR_INPUT, 0).Get()));
  ASSERT_TRUE(SpinHighBecomes(IDC_XPOS_SPIN, 1920)) << "still " << SpinHigh(IDC_XPOS_SPIN);
  EXPECT_EQ(1920, SpinHigh(IDC_RGN_RIGHT_SPIN));
  EXPECT_EQ("640", page->Text(IDC_XPOS));
}

}  // namespace
}  // namespace ovl::testing

// The settings page on a live filter: what it shows, what a user's edits do
// to the page and, after Apply or Cancel, to the filter; in a graph, the
// ranges follow the pictures the inputs bring.
#include <memory>
#include <vector>

#include "KMVVOvLy.h"
#include "server/filter_identity.h"
#include "tests/windows/support/bmp_files.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"
#include "tests/windows/ui/page_harness.h"
#include "ui/resource_ids.h"

namespace ovl::testing {
namespace {

using Log = std::vector<std::string>;

class SettingsPageTest : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    overlay = filter.As<IKMVVOvLy>(IID_IKMVVOvLy);
    ASSERT_TRUE(overlay);
  }
  void TearDown() override {
    page.reset();
    overlay.Reset();
    PageTest::TearDown();
  }
  void Open() {
    page.reset();  // one page in the frame at a time
    page = std::make_unique<ActivePage>(ovl::identity::kClsidPropertyPage, filter.Get(), frame);
    ASSERT_NE(nullptr, page->Window());
  }
  // The layer list shows positions, not layer types.
  void SelectLayer(::LayerTypeConstants layer) {
    page->SelectList(IDC_LAYER_LIST, Get(&IKMVVOvLy::get_LayerOrder, layer));
  }
  LONG Get(HRESULT (STDMETHODCALLTYPE IKMVVOvLy1::*getter)(::LayerTypeConstants, LONG*), ::LayerTypeConstants layer) {
    LONG value = -12345;
    (overlay.Get()->*getter)(layer, &value);
    return value;
  }
  bool Flag(HRESULT (STDMETHODCALLTYPE IKMVVOvLy1::*getter)(::LayerTypeConstants, VARIANT_BOOL*), ::LayerTypeConstants layer) {
    VARIANT_BOOL value = 7;
    (overlay.Get()->*getter)(layer, &value);
    EXPECT_TRUE(value == VARIANT_TRUE || value == VARIANT_FALSE);
    return value == VARIANT_TRUE;
  }
  OLE_COLOR Colour(::LayerTypeConstants layer) {
    OLE_COLOR colour = 0xFFFFFFFF;
    if (layer == ::LAYERTYPE_BACKGROUND) overlay->get_BkLayerColor(&colour);
    else overlay->get_TransparentColor(layer, &colour);
    return colour;
  }
  ::OutputSizeTypeConstants SizeType() {
    ::OutputSizeTypeConstants type = static_cast<::OutputSizeTypeConstants>(-1);
    overlay->get_OutputSizeType(&type);
    return type;
  }
  std::wstring OverlayFile() {
    BSTR name = nullptr;
    overlay->get_OverlayImageFileName(&name);
    const std::wstring text(name != nullptr ? name : L"");
    SysFreeString(name);
    return text;
  }
  // Types each entry into `id` and expects the page to show the corrected text.
  void TypeExpecting(int id, const std::vector<std::pair<const char*, const char*>>& typedShown) {
    for (const auto& [typed, shown] : typedShown) {
      page->Type(id, typed);
      EXPECT_EQ(shown, page->Text(id)) << "typed " << typed << " into " << id;
    }
  }

  ovl::ComPtr<IKMVVOvLy> overlay;
  std::unique_ptr<ActivePage> page;
};

TEST_F(SettingsPageTest, ActivationShowsTheFiltersSettingsInLayerOrder) {
  overlay->put_LayerOrder(::LAYERTYPE_OVERLAYIMAGE, 0);  // overlay image now drawn first
  overlay->put_Opacity(::LAYERTYPE_OVERLAYIMAGE, 35);
  overlay->put_EnableOpacity(::LAYERTYPE_OVERLAYIMAGE, VARIANT_TRUE);
  overlay->put_Region(::LAYERTYPE_OVERLAYIMAGE, ::REGION_ROUNDRECT);
  overlay->put_XPos(::LAYERTYPE_OVERLAYIMAGE, 64);
  overlay->put_OutputSizeType(::OUTPUTSIZETYPE_CUSTOM);
  overlay->put_OutputWidth(800);
  overlay->put_OutputHeight(600);
  Open();

  const std::vector<std::string> items = page->ListItems(IDC_LAYER_LIST);
  ASSERT_EQ(4u, items.size());
  EXPECT_EQ("Overlay image", items[0]);
  EXPECT_EQ("Background color", items[Get(&IKMVVOvLy::get_LayerOrder, ::LAYERTYPE_BACKGROUND)]);
  EXPECT_EQ(0, page->ListSelection(IDC_LAYER_LIST)) << "the back-most layer is selected first";
  EXPECT_EQ("35", page->Text(IDC_OPACITY));
  EXPECT_TRUE(page->Checked(IDC_ENABLE_OPACITY));
  EXPECT_EQ(::REGION_ROUNDRECT, page->ComboSelection(IDC_REGION_TYPE));
  EXPECT_EQ("64", page->Text(IDC_XPOS));
  EXPECT_EQ(1, page->ComboSelection(IDC_OUTPUT_SIZE_TYPE));
  EXPECT_EQ("800", page->Text(IDC_OUTPUT_WIDTH));
  EXPECT_EQ("600", page->Text(IDC_OUTPUT_HEIGHT));
  EXPECT_FALSE(page->Dirty()) << "showing the settings changes nothing";
}

TEST_F(SettingsPageTest, WithNothingConnectedTheRangesAreThoseOfA1920By1080Frame) {
  Open();
  page->SelectList(IDC_LAYER_LIST, 1);  // video 1: no picture yet
  const struct {
    int spin, low, high;
  } ranges[] = {{IDC_XPOS_SPIN, 0, 1920},        {IDC_YPOS_SPIN, 0, 1080},          {IDC_RGN_LEFT_SPIN, 0, 1919},
                {IDC_RGN_TOP_SPIN, 0, 1079},     {IDC_RGN_RIGHT_SPIN, 1, 1920},     {IDC_RGN_BOTTOM_SPIN, 1, 1080},
                {IDC_ROUND_WIDTH_SPIN, 0, 1920}, {IDC_ROUND_HEIGHT_SPIN, 0, 1080},  {IDC_OPACITY_SPIN, 0, 100},
                {IDC_OUTPUT_WIDTH_SPIN, 0, 1920}, {IDC_OUTPUT_HEIGHT_SPIN, 0, 1080}};
  for (const auto& range : ranges) {
    EXPECT_EQ(range.low, page->SpinLow(range.spin)) << "spin " << range.spin;
    EXPECT_EQ(range.high, page->SpinHigh(range.spin)) << "spin " << range.spin;
  }
  TypeExpecting(IDC_XPOS, {{"5000", "1920"}});
}

TEST_F(SettingsPageTest, OpacityEntryIsCorrectedWhereItIsTyped) {
  Open();
  SelectLayer(::LAYERTYPE_VIDEO1);
  page->Click(IDC_ENABLE_OPACITY);
  TypeExpecting(IDC_OPACITY, {{"150", "100"}, {"abc", "0"}, {"-7", "0"}, {"999", "100"}});
  DWORD start = 0;
  SendMessageW(page->Control(IDC_OPACITY), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  EXPECT_EQ(3u, start) << "the caret ends up after the corrected text";
  TypeExpecting(IDC_OPACITY, {{"42", "42"}});

  EXPECT_EQ(100, Get(&IKMVVOvLy::get_Opacity, ::LAYERTYPE_VIDEO1)) << "nothing reaches the filter before Apply";
  ASSERT_EQ(S_OK, (*page)->Apply());
  EXPECT_EQ(42, Get(&IKMVVOvLy::get_Opacity, ::LAYERTYPE_VIDEO1));
  EXPECT_TRUE(Flag(&IKMVVOvLy::get_EnableOpacity, ::LAYERTYPE_VIDEO1));
}

TEST_F(SettingsPageTest, RegionEdgesStayTwoApart) {
  overlay->put_Region(::LAYERTYPE_VIDEO2, ::REGION_RECT);
  overlay->put_RgnLeft(::LAYERTYPE_VIDEO2, 100);
  overlay->put_RgnRight(::LAYERTYPE_VIDEO2, 300);
  overlay->put_RgnTop(::LAYERTYPE_VIDEO2, 40);
  overlay->put_RgnBottom(::LAYERTYPE_VIDEO2, 200);
  Open();
  SelectLayer(::LAYERTYPE_VIDEO2);
  TypeExpecting(IDC_RGN_RIGHT, {{"101", "102"}});  // 2 right of left
  TypeExpecting(IDC_RGN_LEFT, {{"150", "100"}});   // 2 left of right
  TypeExpecting(IDC_RGN_RIGHT, {{"250", "250"}});
  TypeExpecting(IDC_RGN_LEFT, {{"248", "248"}, {"249", "248"}});
  TypeExpecting(IDC_RGN_BOTTOM, {{"10", "42"}});
  TypeExpecting(IDC_RGN_TOP, {{"41", "40"}});
  TypeExpecting(IDC_RGN_BOTTOM, {{"4000", "1080"}});  // an empty input's layer reads as 1920 x 1080

  ASSERT_EQ(S_OK, (*page)->Apply());
  EXPECT_EQ(248, Get(&IKMVVOvLy::get_RgnLeft, ::LAYERTYPE_VIDEO2));
  EXPECT_EQ(250, Get(&IKMVVOvLy::get_RgnRight, ::LAYERTYPE_VIDEO2));
  EXPECT_EQ(40, Get(&IKMVVOvLy::get_RgnTop, ::LAYERTYPE_VIDEO2));
  EXPECT_EQ(1080, Get(&IKMVVOvLy::get_RgnBottom, ::LAYERTYPE_VIDEO2));
}

TEST_F(SettingsPageTest, ControlsAreEnabledForWhatTheSelectedLayerCanUse) {
  overlay->put_EnableTransparency(::LAYERTYPE_VIDEO1, VARIANT_TRUE);
  overlay->put_TransparentColor(::LAYERTYPE_VIDEO1, 0x0000FF00);
  overlay->put_Opacity(::LAYERTYPE_VIDEO1, 60);
  overlay->put_EnableOpacity(::LAYERTYPE_VIDEO1, VARIANT_TRUE);
  Open();
  // Each step, then the controls it must leave enabled (+) or disabled (-).
  auto expect = [&](const char* step, std::initializer_list<int> on, std::initializer_list<int> off) {
    for (int id : on) EXPECT_TRUE(page->Enabled(id)) << step << ": control " << id;
    for (int id : off) EXPECT_FALSE(page->Enabled(id)) << step << ": control " << id;
  };
  expect("background", {IDC_BK_COLOR}, {IDC_OVERLAY_FILE, IDC_OUTPUT_WIDTH, IDC_RGN_LEFT, IDC_MASK_FILE});
  SelectLayer(::LAYERTYPE_VIDEO1);
  expect("transparent video", {IDC_TRANSPARENT_COLOR}, {IDC_BK_COLOR, IDC_ENABLE_OPACITY, IDC_OPACITY});
  page->Click(IDC_ENABLE_MASK);
  expect("mask", {IDC_MASK_FILE, IDC_MASK_BROWSE},
         {IDC_ENABLE_TRANSPARENCY, IDC_TRANSPARENT_COLOR, IDC_ENABLE_OPACITY, IDC_OPACITY, IDC_OPACITY_SPIN});
  // The mask rules out transparency and opacity without forgetting them.
  EXPECT_TRUE(page->Checked(IDC_ENABLE_TRANSPARENCY));
  EXPECT_EQ("60", page->Text(IDC_OPACITY));
  page->Click(IDC_ENABLE_MASK);
  expect("no mask", {IDC_ENABLE_TRANSPARENCY, IDC_TRANSPARENT_COLOR}, {});
  page->Click(IDC_ENABLE_TRANSPARENCY);
  expect("no transparency", {IDC_ENABLE_OPACITY, IDC_OPACITY}, {IDC_TRANSPARENT_COLOR});
  page->Click(IDC_ENABLE_TRANSPARENCY);
  page->Click(IDC_ENABLE_MASK);
  ASSERT_EQ(S_OK, (*page)->Apply());
  EXPECT_TRUE(Flag(&IKMVVOvLy::get_EnableMaskBitmap, ::LAYERTYPE_VIDEO1));
  EXPECT_TRUE(Flag(&IKMVVOvLy::get_EnableTransparency, ::LAYERTYPE_VIDEO1));
  EXPECT_TRUE(Flag(&IKMVVOvLy::get_EnableOpacity, ::LAYERTYPE_VIDEO1));
  EXPECT_EQ(60, Get(&IKMVVOvLy::get_Opacity, ::LAYERTYPE_VIDEO1));
  EXPECT_EQ(0x0000FF00u, Colour(::LAYERTYPE_VIDEO1));

  page->SelectCombo(IDC_REGION_TYPE, ::REGION_RECT);
  expect("rectangle", {IDC_RGN_LEFT, IDC_RGN_BOTTOM_SPIN}, {IDC_ROUND_WIDTH});
  page->SelectCombo(IDC_REGION_TYPE, ::REGION_ROUNDRECT);
  expect("round rectangle", {IDC_ROUND_WIDTH, IDC_ROUND_HEIGHT_SPIN}, {});
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_CUSTOM);
  expect("custom size", {IDC_OUTPUT_WIDTH, IDC_OUTPUT_HEIGHT_SPIN}, {});
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  expect("overlay image", {IDC_OVERLAY_FILE, IDC_OVERLAY_BROWSE}, {});
}

TEST_F(SettingsPageTest, OrderButtonsMoveALayerWithAllItsSettings) {
  overlay->put_BkLayerColor(0x00204080);
  overlay->put_Region(::LAYERTYPE_BACKGROUND, ::REGION_ELLIPSE);
  overlay->put_RgnRight(::LAYERTYPE_BACKGROUND, 500);
  overlay->put_Opacity(::LAYERTYPE_BACKGROUND, 70);
  overlay->put_EnableOpacity(::LAYERTYPE_BACKGROUND, VARIANT_TRUE);
  overlay->put_XPos(::LAYERTYPE_BACKGROUND, 12);
  Open();
  const std::vector<std::string> before = page->ListItems(IDC_LAYER_LIST);
  // Already at the back or at the front: nothing happens.
  for (auto [position, button] : {std::pair{0, IDC_SEND_BACK}, std::pair{3, IDC_SEND_FRONT}}) {
    page->SelectList(IDC_LAYER_LIST, position);
    page->Click(button);
    EXPECT_EQ(before, page->ListItems(IDC_LAYER_LIST));
    EXPECT_FALSE(page->Dirty());
  }

  page->SelectList(IDC_LAYER_LIST, 0);
  page->Click(IDC_SEND_FRONT);
  EXPECT_EQ("Background color", page->ListItems(IDC_LAYER_LIST)[1]);
  EXPECT_EQ(1, page->ListSelection(IDC_LAYER_LIST)) << "the moved layer stays selected";
  EXPECT_TRUE(page->Dirty());
  EXPECT_EQ(1, page->site.dirtyReports);
  EXPECT_EQ(::REGION_ELLIPSE, page->ComboSelection(IDC_REGION_TYPE));
  EXPECT_EQ("70", page->Text(IDC_OPACITY));
  page->SelectList(IDC_LAYER_LIST, 0);  // the layer now behind it shows its own values
  EXPECT_EQ(::REGION_NONE, page->ComboSelection(IDC_REGION_TYPE));
  EXPECT_EQ("100", page->Text(IDC_OPACITY));

  ASSERT_EQ(S_OK, (*page)->Apply());
  EXPECT_EQ(1, Get(&IKMVVOvLy::get_LayerOrder, ::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(0, Get(&IKMVVOvLy::get_LayerOrder, ::LAYERTYPE_VIDEO1));
  EXPECT_EQ(500, Get(&IKMVVOvLy::get_RgnRight, ::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(70, Get(&IKMVVOvLy::get_Opacity, ::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(12, Get(&IKMVVOvLy::get_XPos, ::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(0x00204080u, Colour(::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(100, Get(&IKMVVOvLy::get_Opacity, ::LAYERTYPE_VIDEO1));
}

TEST_F(SettingsPageTest, OutputSizeGoesToTheFilterAtOnceCancelTakesItBackApplyKeepsIt) {
  overlay->put_OutputWidth(640);
  Open();
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_CUSTOM);
  EXPECT_EQ(::OUTPUTSIZETYPE_CUSTOM, SizeType()) << "the size type is put at once";
  TypeExpecting(IDC_OUTPUT_WIDTH, {{"2500", "1920"}, {"320", "320"}});
  LONG width = 0;
  overlay->get_OutputWidth(&width);
  EXPECT_EQ(320, width) << "and so is the width";
  EXPECT_EQ(320, page->SpinHigh(IDC_XPOS_SPIN)) << "positions now range over the custom frame";

  page->Disconnect();  // the frame's Cancel
  EXPECT_EQ(::OUTPUTSIZETYPE_AUTO, SizeType());
  overlay->get_OutputWidth(&width);
  EXPECT_EQ(640, width);
  // The page, still shown, no longer reaches the filter.
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_CUSTOM);
  page->Click(IDC_SEND_FRONT);
  EXPECT_EQ(::OUTPUTSIZETYPE_AUTO, SizeType());
  EXPECT_FALSE(page->Dirty());
  PumpUntil([] { return false; }, 250);  // nor does the input check

  // Apply is the new point Cancel returns to, and commits the settings.
  Open();
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_CUSTOM);
  page->Type(IDC_OUTPUT_HEIGHT, "480");
  ASSERT_EQ(S_OK, (*page)->Apply());
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, ovl::identity::kSettingsKey, 0, KEY_READ, &key));
  if (key != nullptr) RegCloseKey(key);
  page->Type(IDC_OUTPUT_HEIGHT, "200");
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_AUTO);
  page->Disconnect();
  EXPECT_EQ(::OUTPUTSIZETYPE_CUSTOM, SizeType());
  LONG height = 0;
  overlay->get_OutputHeight(&height);
  EXPECT_EQ(480, height);
}

TEST_F(SettingsPageTest, ARefusedFileIsReportedOnceAndLeavesNoImage) {
  TempDir dir;
  const std::wstring text = dir.Write(L"notes.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
  BmpSpec grey;
  grey.bitCount = 8;
  const std::wstring mask = dir.Write(L"mask.bmp", MakeBmp(grey));
  BSTR earlier = SysAllocString(dir.Write(L"earlier.bmp", MakeBmp(BmpSpec{})).c_str());
  ASSERT_EQ(S_OK, overlay->put_OverlayImageFileName(earlier));  // a refused file also lets this one go
  SysFreeString(earlier);
  Open();
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  page->Type(IDC_OVERLAY_FILE, std::string(text.begin(), text.end()));
  SelectLayer(::LAYERTYPE_VIDEO2);
  page->Click(IDC_ENABLE_MASK);
  page->Type(IDC_MASK_FILE, std::string(text.begin(), text.end()));
  SelectLayer(::LAYERTYPE_VIDEO1);
  page->Click(IDC_ENABLE_MASK);
  page->Type(IDC_MASK_FILE, std::string(mask.begin(), mask.end()));
  ASSERT_EQ(S_OK, (*page)->Apply());
  const Log refused = {
      "box? Error loading image: Error loading overlay image; only standard, 24-BPP BMP/ICON files are accepted",
      "box? Error loading mask image: Error loading mask image; only standard, grayscale 8-BPP BMP files are "
      "accepted"};
  EXPECT_EQ(refused, modal.log);
  EXPECT_EQ(page->Window(), modal.lastOwner);

  EXPECT_EQ(L"", OverlayFile());
  VARIANT_BOOL loaded = VARIANT_TRUE;
  overlay->get_IsOverlayImageLoaded(&loaded);
  EXPECT_EQ(VARIANT_FALSE, loaded);
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  EXPECT_EQ("", page->Text(IDC_OVERLAY_FILE)) << "the page shows what the filter kept";
  SelectLayer(::LAYERTYPE_VIDEO2);
  EXPECT_EQ("", page->Text(IDC_MASK_FILE));
  overlay->get_IsMaskImageLoaded(::LAYERTYPE_VIDEO1, &loaded);
  EXPECT_EQ(VARIANT_TRUE, loaded) << "the good mask on another layer is loaded";

  page->Type(IDC_XPOS, "50");
  ASSERT_EQ(S_OK, (*page)->Apply());
  EXPECT_EQ(refused, modal.log) << "nothing more to report on the next Apply";
}

TEST_F(SettingsPageTest, ColourChoosersAndTheDirtyRule) {
  overlay->put_BkLayerColor(0x00102030);
  overlay->put_TransparentColor(::LAYERTYPE_VIDEO2, 0x00405060);
  Open();
  CHOOSECOLORA seen{};
  modal.chooseColor = [&](CHOOSECOLORA* choice) {
    seen = *choice;
    return FALSE;  // cancelled
  };
  page->Click(IDC_BK_COLOR);
  EXPECT_EQ(Log{"colour"}, modal.log);
  EXPECT_EQ(page->Window(), seen.hwndOwner);
  EXPECT_EQ(0x00102030u, seen.rgbResult);
  EXPECT_TRUE(seen.Flags & CC_RGBINIT);
  EXPECT_FALSE(page->Dirty()) << "cancelling the background colour changes nothing";
  EXPECT_EQ(0, page->site.dirtyReports);

  SelectLayer(::LAYERTYPE_VIDEO2);
  page->Click(IDC_ENABLE_TRANSPARENCY);
  ASSERT_EQ(S_OK, (*page)->Apply());
  EXPECT_FALSE(page->Dirty());
  const int reports = page->site.dirtyReports;
  page->Click(IDC_TRANSPARENT_COLOR);
  EXPECT_EQ(2u, modal.log.size());
  EXPECT_EQ(0x00405060u, seen.rgbResult);
  EXPECT_TRUE(page->Dirty()) << "cancelling the transparent colour still marks the page";
  EXPECT_GT(page->site.dirtyReports, reports);

  modal.chooseColor = [](CHOOSECOLORA* choice) {
    choice->rgbResult = 0x00ABCDEF;
    return TRUE;
  };
  page->Click(IDC_TRANSPARENT_COLOR);
  SelectLayer(::LAYERTYPE_BACKGROUND);
  page->Click(IDC_BK_COLOR);
  ASSERT_EQ(S_OK, (*page)->Apply());
  EXPECT_EQ(0x00ABCDEFu, Colour(::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(0x00ABCDEFu, Colour(::LAYERTYPE_VIDEO2));
}

TEST_F(SettingsPageTest, FileChoosersFillTheNameTheFilterLoadsOnApply) {
  TempDir dir;
  BmpSpec picture;
  picture.width = 16;
  const std::wstring path = dir.Write(L"logo.bmp", MakeBmp(picture));
  Open();
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  page->Type(IDC_OVERLAY_FILE, "C:\\earlier.bmp");
  std::string prefilled, filters;  // filters as "name|pattern|..."
  modal.openFile = [&](OPENFILENAMEA* choice) {
    prefilled = choice->lpstrFile;
    filters.clear();
    for (const char* f = choice->lpstrFilter; *f != '\0'; f += strlen(f) + 1) filters += std::string(f) + "|";
    return FALSE;
  };
  page->Click(IDC_OVERLAY_BROWSE);
  EXPECT_EQ(page->Window(), modal.lastOwner);
  EXPECT_EQ("C:\\earlier.bmp", prefilled);
  EXPECT_EQ("Bitmap Files(*.bmp)|*.bmp|Icon Files(*.ico)|*.ico|All(*.*)|*.*|", filters);
  EXPECT_EQ("C:\\earlier.bmp", page->Text(IDC_OVERLAY_FILE)) << "cancelled: nothing changes";
  SelectLayer(::LAYERTYPE_VIDEO1);
  page->Click(IDC_ENABLE_MASK);
  page->Click(IDC_MASK_BROWSE);
  EXPECT_EQ("Bitmap files(*.bmp)|*.bmp|All(*.*)|*.*|", filters) << "the mask chooser offers bitmaps only";
  EXPECT_EQ((Log{"file", "file"}), modal.log);
  page->Click(IDC_ENABLE_MASK);

  modal.openFile = [&](OPENFILENAMEA* choice) {
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, choice->lpstrFile, static_cast<int>(choice->nMaxFile), nullptr,
                        nullptr);
    return TRUE;
  };
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  page->Click(IDC_OVERLAY_BROWSE);
  ASSERT_EQ(S_OK, (*page)->Apply());
  EXPECT_EQ(Log{}, modal.Lines("box"));
  EXPECT_EQ(path, OverlayFile());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  overlay->get_IsOverlayImageLoaded(&loaded);
  EXPECT_EQ(VARIANT_TRUE, loaded);
}

TEST_F(SettingsPageTest, HoverHelpNamesTheControlUnderTheMouse) {
  Open();
  const struct {
    int control;
    const char* help;
  } cases[] = {{IDC_REGION_TYPE, "Type of the region defined for the selected layer."},
               {IDC_OUTPUT_SIZE_TYPE,
                "Select whether the output size should be Auto (maximum of the  input video sizes) or\n"
                "Custom (output size you specify)."},
               {IDC_RGN_LEFT_SPIN, ""},  // a control without a text clears the line
               {IDC_SEND_FRONT, "Move the selected layer one step to front."}};
  for (const auto& hover : cases) {
    page->Mouse(hover.control, WM_MOUSEMOVE);
    EXPECT_EQ(hover.help, page->Text(IDC_HOVER_HELP));
  }
  // The swatches are hidden placeholders: found where the mouse is.
  RECT swatch{};
  GetWindowRect(page->Control(IDC_BK_SWATCH), &swatch);
  ASSERT_TRUE(SetCursorPos((swatch.left + swatch.right) / 2, (swatch.top + swatch.bottom) / 2));
  page->Mouse(0, WM_MOUSEMOVE);
  EXPECT_EQ("Background layer color.", page->Text(IDC_HOVER_HELP));
}

// A graph around the filter: the ranges follow the connected pictures, also
// when an upstream filter connects or leaves while the page is open (the page
// looks at its inputs every 100 ms).
class SettingsPageInGraph : public SettingsPageTest {
 protected:
  void SetUp() override {
    SettingsPageTest::SetUp();
    graph = CreateGraphWithoutClock();
    ASSERT_TRUE(graph);
    ASSERT_EQ(S_OK, graph->AddFilter(filter.As<IBaseFilter>(IID_IBaseFilter).Get(), L"Overlay"));
  }
  void TearDown() override {
    page.reset();
    graph.Reset();  // the graph lets its filters go
    SettingsPageTest::TearDown();
  }
  ovl::ComPtr<CScriptedSource> Connect(int index, LONG width, LONG height) {
    HRESULT hr = S_OK;
    ovl::ComPtr<CScriptedSource> source(CScriptedSource::Create(width, height, &hr));
    EXPECT_EQ(S_OK, graph->AddFilter(source.Get(), nullptr));
    const ovl::ComPtr<IPin> input = FindPin(filter.As<IBaseFilter>(IID_IBaseFilter).Get(), PINDIR_INPUT, index);
    EXPECT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), input.Get(), nullptr));
    return source;
  }
  bool SpinHighBecomes(int id, int high) {
    return PumpUntil([&] { return page->SpinHigh(id) == high; }, 5000);
  }
  ovl::ComPtr<IGraphBuilder> graph;
};

TEST_F(SettingsPageInGraph, UpstreamFiltersConnectingAndLeavingSetTheRanges) {
  Open();
  SelectLayer(::LAYERTYPE_VIDEO1);
  page->Type(IDC_XPOS, "1000");
  page->SelectCombo(IDC_REGION_TYPE, ::REGION_RECT);
  const ovl::ComPtr<CScriptedSource> first = Connect(0, 640, 480);
  ASSERT_TRUE(SpinHighBecomes(IDC_XPOS_SPIN, 640)) << "still " << page->SpinHigh(IDC_XPOS_SPIN);
  EXPECT_EQ(640, page->SpinHigh(IDC_RGN_RIGHT_SPIN));
  EXPECT_EQ(479, page->SpinHigh(IDC_RGN_TOP_SPIN));
  EXPECT_EQ("640", page->Text(IDC_XPOS)) << "a position past the new frame is pulled in";
  TypeExpecting(IDC_RGN_RIGHT, {{"700", "640"}});

  // A region ranges over its own layer, a position over the composite frame.
  const ovl::ComPtr<CScriptedSource> second = Connect(1, 160, 120);
  SelectLayer(::LAYERTYPE_VIDEO2);
  ASSERT_TRUE(SpinHighBecomes(IDC_RGN_RIGHT_SPIN, 160)) << "still " << page->SpinHigh(IDC_RGN_RIGHT_SPIN);
  EXPECT_EQ(119, page->SpinHigh(IDC_RGN_TOP_SPIN));
  EXPECT_EQ(640, page->SpinHigh(IDC_XPOS_SPIN));

  ASSERT_EQ(S_OK, graph->RemoveFilter(first.Get()));
  ASSERT_EQ(S_OK, graph->RemoveFilter(second.Get()));
  ASSERT_TRUE(SpinHighBecomes(IDC_XPOS_SPIN, 1920)) << "still " << page->SpinHigh(IDC_XPOS_SPIN);
  EXPECT_EQ(1920, page->SpinHigh(IDC_RGN_RIGHT_SPIN));
}

}  // namespace
}  // namespace ovl::testing

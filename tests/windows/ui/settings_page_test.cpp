// The settings page on a live filter: what it shows, what a user's edits do
// to the page and, after Apply or Cancel, to the filter.
#include <vector>

#include "tests/windows/support/bmp_files.h"
#include "tests/windows/ui/settings_page_fixture.h"

namespace ovl::testing {
namespace {

int SpinHigh(const ActivePage& page, int id) {
  int low = -1, high = -1;
  page.SpinRange(id, &low, &high);
  return high;
}

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
  LONG backgroundAt = -1;
  overlay->get_LayerOrder(::LAYERTYPE_BACKGROUND, &backgroundAt);
  ASSERT_EQ(4u, items.size());
  EXPECT_EQ("Overlay image", items[0]);
  EXPECT_EQ("Background color", items[backgroundAt]);
  EXPECT_EQ(3, SendMessageW(page->Control(IDC_LAYER_LIST), LB_GETITEMDATA, 0, 0)) << "entries carry their layer type";
  EXPECT_EQ(0, page->ListSelection(IDC_LAYER_LIST)) << "the back-most layer is selected first";

  // The selected layer's values, and the output size.
  EXPECT_EQ("35", page->Text(IDC_OPACITY));
  EXPECT_TRUE(page->Checked(IDC_ENABLE_OPACITY));
  EXPECT_EQ(::REGION_ROUNDRECT, page->ComboSelection(IDC_REGION_TYPE));
  char region[64] = "";
  SendMessageA(page->Control(IDC_REGION_TYPE), CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(region));
  EXPECT_STREQ("Round Rectangle", region);
  EXPECT_EQ("64", page->Text(IDC_XPOS));
  EXPECT_EQ(800, SpinHigh(*page, IDC_XPOS_SPIN)) << "positions range over the custom frame";
  EXPECT_EQ(1, page->ComboSelection(IDC_OUTPUT_SIZE_TYPE));
  EXPECT_EQ("800", page->Text(IDC_OUTPUT_WIDTH));
  EXPECT_EQ("600", page->Text(IDC_OUTPUT_HEIGHT));
  EXPECT_EQ(S_FALSE, (*page)->IsPageDirty()) << "showing the settings changes nothing";
}

TEST_F(SettingsPageTest, WithNothingConnectedTheRangesAreThoseOfA1920By1080Frame) {
  Open();
  page->SelectList(IDC_LAYER_LIST, 1);  // video 1: no picture yet
  const struct {
    int spin, low, high;
  } ranges[] = {{IDC_XPOS_SPIN, 0, 1920},      {IDC_YPOS_SPIN, 0, 1080},         {IDC_RGN_LEFT_SPIN, 0, 1919},
                {IDC_RGN_TOP_SPIN, 0, 1079},   {IDC_RGN_RIGHT_SPIN, 1, 1920},    {IDC_RGN_BOTTOM_SPIN, 1, 1080},
                {IDC_ROUND_WIDTH_SPIN, 0, 1920}, {IDC_ROUND_HEIGHT_SPIN, 0, 1080}, {IDC_OPACITY_SPIN, 0, 100},
                {IDC_OUTPUT_WIDTH_SPIN, 0, 1920}, {IDC_OUTPUT_HEIGHT_SPIN, 0, 1080}};
  for (const auto& range : ranges) {
    int low = -1, high = -1;
    page->SpinRange(range.spin, &low, &high);
    EXPECT_EQ(range.low, low) << "spin " << range.spin;
    EXPECT_EQ(range.high, high) << "spin " << range.spin;
  }
  // Typing past the frame stops at its edge.
  page->Type(IDC_XPOS, "5000");
  EXPECT_EQ("1920", page->Text(IDC_XPOS));
}

TEST_F(SettingsPageTest, OpacityEntryIsCorrectedWhereItIsTyped) {
  Open();
  SelectLayer(::LAYERTYPE_VIDEO1);
  page->Click(IDC_ENABLE_OPACITY);
  page->Type(IDC_OPACITY, "150");
  EXPECT_EQ("100", page->Text(IDC_OPACITY));
  page->Type(IDC_OPACITY, "abc");
  EXPECT_EQ("0", page->Text(IDC_OPACITY));
  page->Type(IDC_OPACITY, "-7");
  EXPECT_EQ("0", page->Text(IDC_OPACITY));
  page->Type(IDC_OPACITY, "42");
  EXPECT_EQ("42", page->Text(IDC_OPACITY));
  DWORD start = 0, end = 0;
  page->Type(IDC_OPACITY, "999");
  SendMessageW(page->Control(IDC_OPACITY), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(3u, start) << "the caret ends up after the corrected text";
  page->Type(IDC_OPACITY, "42");

  EXPECT_EQ(100, Get(&IKMVVOvLy::get_Opacity, ::LAYERTYPE_VIDEO1)) << "nothing reaches the filter before Apply";
  ASSERT_EQ(S_OK, page->Apply());
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

  page->Type(IDC_RGN_RIGHT, "101");
  EXPECT_EQ("102", page->Text(IDC_RGN_RIGHT)) << "right stays 2 right of left";
  page->Type(IDC_RGN_LEFT, "150");
  EXPECT_EQ("100", page->Text(IDC_RGN_LEFT)) << "left stays 2 left of right (102)";
  page->Type(IDC_RGN_RIGHT, "250");
  EXPECT_EQ("250", page->Text(IDC_RGN_RIGHT));
  page->Type(IDC_RGN_LEFT, "248");
  EXPECT_EQ("248", page->Text(IDC_RGN_LEFT));
  page->Type(IDC_RGN_LEFT, "249");
  EXPECT_EQ("248", page->Text(IDC_RGN_LEFT));
  page->Type(IDC_RGN_BOTTOM, "10");
  EXPECT_EQ("42", page->Text(IDC_RGN_BOTTOM));
  page->Type(IDC_RGN_TOP, "41");
  EXPECT_EQ("40", page->Text(IDC_RGN_TOP));
  page->Type(IDC_RGN_BOTTOM, "4000");
  EXPECT_EQ("1080", page->Text(IDC_RGN_BOTTOM)) << "an empty input's layer reads as 1920 x 1080";

  ASSERT_EQ(S_OK, page->Apply());
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

  EXPECT_TRUE(page->Enabled(IDC_BK_COLOR)) << "the background layer is selected";
  EXPECT_FALSE(page->Enabled(IDC_OVERLAY_FILE));
  EXPECT_FALSE(page->Enabled(IDC_OVERLAY_BROWSE));
  EXPECT_FALSE(page->Enabled(IDC_OUTPUT_WIDTH)) << "automatic output size";
  EXPECT_FALSE(page->Enabled(IDC_RGN_LEFT)) << "no region";
  EXPECT_FALSE(page->Enabled(IDC_MASK_FILE));

  SelectLayer(::LAYERTYPE_VIDEO1);
  EXPECT_FALSE(page->Enabled(IDC_BK_COLOR));
  EXPECT_TRUE(page->Enabled(IDC_TRANSPARENT_COLOR));
  EXPECT_FALSE(page->Enabled(IDC_ENABLE_OPACITY)) << "transparency rules out opacity";
  EXPECT_FALSE(page->Enabled(IDC_OPACITY));

  // The mask rules out both, without forgetting them.
  page->Click(IDC_ENABLE_MASK);
  for (int id : {IDC_ENABLE_TRANSPARENCY, IDC_TRANSPARENT_COLOR, IDC_ENABLE_OPACITY, IDC_OPACITY, IDC_OPACITY_SPIN}) {
    EXPECT_FALSE(page->Enabled(id)) << "control " << id;
  }
  EXPECT_TRUE(page->Enabled(IDC_MASK_FILE));
  EXPECT_TRUE(page->Enabled(IDC_MASK_BROWSE));
  EXPECT_TRUE(page->Checked(IDC_ENABLE_TRANSPARENCY));
  EXPECT_EQ("60", page->Text(IDC_OPACITY));
  page->Click(IDC_ENABLE_MASK);
  EXPECT_TRUE(page->Enabled(IDC_ENABLE_TRANSPARENCY));
  EXPECT_TRUE(page->Enabled(IDC_TRANSPARENT_COLOR));
  page->Click(IDC_ENABLE_TRANSPARENCY);
  EXPECT_TRUE(page->Enabled(IDC_ENABLE_OPACITY));
  EXPECT_TRUE(page->Enabled(IDC_OPACITY));
  EXPECT_FALSE(page->Enabled(IDC_TRANSPARENT_COLOR));
  page->Click(IDC_ENABLE_TRANSPARENCY);
  page->Click(IDC_ENABLE_MASK);
  ASSERT_EQ(S_OK, page->Apply());
  EXPECT_TRUE(Flag(&IKMVVOvLy::get_EnableMaskBitmap, ::LAYERTYPE_VIDEO1));
  EXPECT_TRUE(Flag(&IKMVVOvLy::get_EnableTransparency, ::LAYERTYPE_VIDEO1));
  EXPECT_TRUE(Flag(&IKMVVOvLy::get_EnableOpacity, ::LAYERTYPE_VIDEO1));
  EXPECT_EQ(60, Get(&IKMVVOvLy::get_Opacity, ::LAYERTYPE_VIDEO1));
  EXPECT_EQ(0x0000FF00u, Colour(::LAYERTYPE_VIDEO1));

  // Region type and output size type.
  page->SelectCombo(IDC_REGION_TYPE, ::REGION_RECT);
  EXPECT_TRUE(page->Enabled(IDC_RGN_LEFT));
  EXPECT_TRUE(page->Enabled(IDC_RGN_BOTTOM_SPIN));
  EXPECT_FALSE(page->Enabled(IDC_ROUND_WIDTH));
  page->SelectCombo(IDC_REGION_TYPE, ::REGION_ROUNDRECT);
  EXPECT_TRUE(page->Enabled(IDC_ROUND_WIDTH));
  EXPECT_TRUE(page->Enabled(IDC_ROUND_HEIGHT_SPIN));
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_CUSTOM);
  EXPECT_TRUE(page->Enabled(IDC_OUTPUT_WIDTH));
  EXPECT_TRUE(page->Enabled(IDC_OUTPUT_HEIGHT_SPIN));
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  EXPECT_TRUE(page->Enabled(IDC_OVERLAY_FILE));
  EXPECT_TRUE(page->Enabled(IDC_OVERLAY_BROWSE));
}

TEST_F(SettingsPageTest, OrderButtonsMoveALayerWithAllItsSettings) {
  overlay->put_BkLayerColor(0x00204080);
  overlay->put_Region(::LAYERTYPE_BACKGROUND, ::REGION_ELLIPSE);
  overlay->put_RgnRight(::LAYERTYPE_BACKGROUND, 500);
  overlay->put_Opacity(::LAYERTYPE_BACKGROUND, 70);
  overlay->put_EnableOpacity(::LAYERTYPE_BACKGROUND, VARIANT_TRUE);
  overlay->put_XPos(::LAYERTYPE_BACKGROUND, 12);
  Open();

  // Already at the back or at the front: nothing happens.
  page->SelectList(IDC_LAYER_LIST, 0);
  page->Click(IDC_SEND_BACK);
  EXPECT_EQ("Background color", page->ListItems(IDC_LAYER_LIST)[0]);
  EXPECT_EQ(S_FALSE, (*page)->IsPageDirty());
  page->SelectList(IDC_LAYER_LIST, 3);
  const std::vector<std::string> before = page->ListItems(IDC_LAYER_LIST);
  page->Click(IDC_SEND_FRONT);
  EXPECT_EQ(before, page->ListItems(IDC_LAYER_LIST));
  EXPECT_EQ(S_FALSE, (*page)->IsPageDirty());

  page->SelectList(IDC_LAYER_LIST, 0);
  page->Click(IDC_SEND_FRONT);
  EXPECT_EQ("Background color", page->ListItems(IDC_LAYER_LIST)[1]);
  EXPECT_EQ(1, page->ListSelection(IDC_LAYER_LIST)) << "the moved layer stays selected";
  EXPECT_EQ(S_OK, (*page)->IsPageDirty());
  EXPECT_EQ(1, page->site.dirtyReports);
  EXPECT_EQ(::REGION_ELLIPSE, page->ComboSelection(IDC_REGION_TYPE));
  EXPECT_EQ("70", page->Text(IDC_OPACITY));

  // The layer now behind it shows its own values.
  page->SelectList(IDC_LAYER_LIST, 0);
  EXPECT_EQ(::REGION_NONE, page->ComboSelection(IDC_REGION_TYPE));
  EXPECT_EQ("100", page->Text(IDC_OPACITY));

  ASSERT_EQ(S_OK, page->Apply());
  EXPECT_EQ(1, Get(&IKMVVOvLy::get_LayerOrder, ::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(0, Get(&IKMVVOvLy::get_LayerOrder, ::LAYERTYPE_VIDEO1));
  EXPECT_EQ(::REGION_ELLIPSE, RegionOf(::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(500, Get(&IKMVVOvLy::get_RgnRight, ::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(70, Get(&IKMVVOvLy::get_Opacity, ::LAYERTYPE_BACKGROUND));
  EXPECT_EQ(12, Get(&IKMVVOvLy::get_XPos, ::LAYERTYPE_BACKGROUND));
  OLE_COLOR colour = 0;
  overlay->get_BkLayerColor(&colour);
  EXPECT_EQ(0x00204080u, colour);
  EXPECT_EQ(100, Get(&IKMVVOvLy::get_Opacity, ::LAYERTYPE_VIDEO1));
}

TEST_F(SettingsPageTest, OutputSizeGoesToTheFilterAtOnceAndCancelTakesItBack) {
  overlay->put_OutputWidth(640);
  Open();
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_CUSTOM);
  ::OutputSizeTypeConstants type = ::OUTPUTSIZETYPE_AUTO;
  overlay->get_OutputSizeType(&type);
  EXPECT_EQ(::OUTPUTSIZETYPE_CUSTOM, type) << "the size type is put at once";
  page->Type(IDC_OUTPUT_WIDTH, "2500");
  EXPECT_EQ("1920", page->Text(IDC_OUTPUT_WIDTH));
  page->Type(IDC_OUTPUT_WIDTH, "320");
  LONG width = 0;
  overlay->get_OutputWidth(&width);
  EXPECT_EQ(320, width) << "and so is the width";
  EXPECT_EQ(320, SpinHigh(*page, IDC_XPOS_SPIN)) << "positions now range over the custom frame";

  page->Disconnect();  // the frame's Cancel
  overlay->get_OutputSizeType(&type);
  EXPECT_EQ(::OUTPUTSIZETYPE_AUTO, type);
  overlay->get_OutputWidth(&width);
  EXPECT_EQ(640, width);
}

TEST_F(SettingsPageTest, AShownPageWithoutItsFilterIgnoresInput) {
  Open();
  page->Disconnect();
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_CUSTOM);
  page->Type(IDC_OUTPUT_WIDTH, "100");
  page->Click(IDC_SEND_FRONT);
  ::OutputSizeTypeConstants type = ::OUTPUTSIZETYPE_CUSTOM;
  overlay->get_OutputSizeType(&type);
  EXPECT_EQ(::OUTPUTSIZETYPE_AUTO, type);
  EXPECT_EQ(S_FALSE, (*page)->IsPageDirty());
  PumpUntil([] { return false; }, 250);  // the input check finds no filter either
}

TEST_F(SettingsPageTest, ApplyIsTheNewUndoPointAndCommitsTheSettings) {
  Open();
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_CUSTOM);
  page->Type(IDC_OUTPUT_HEIGHT, "480");
  ASSERT_EQ(S_OK, page->Apply());
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, ovl::identity::kSettingsKey, 0, KEY_READ, &key))
      << "Apply commits the settings";
  if (key != nullptr) RegCloseKey(key);

  page->Type(IDC_OUTPUT_HEIGHT, "200");
  page->SelectCombo(IDC_OUTPUT_SIZE_TYPE, ::OUTPUTSIZETYPE_AUTO);
  page->Disconnect();
  ::OutputSizeTypeConstants type = ::OUTPUTSIZETYPE_AUTO;
  overlay->get_OutputSizeType(&type);
  EXPECT_EQ(::OUTPUTSIZETYPE_CUSTOM, type);
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
  const std::string textA(text.begin(), text.end());
  const std::string maskA(mask.begin(), mask.end());
  Open();

  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  page->Type(IDC_OVERLAY_FILE, textA);
  SelectLayer(::LAYERTYPE_VIDEO2);
  page->Click(IDC_ENABLE_MASK);
  page->Type(IDC_MASK_FILE, textA);
  SelectLayer(::LAYERTYPE_VIDEO1);
  page->Click(IDC_ENABLE_MASK);
  page->Type(IDC_MASK_FILE, maskA);
  ASSERT_EQ(S_OK, page->Apply());

  ASSERT_EQ(2u, modal.messages.size());
  EXPECT_EQ("Error loading overlay image; only standard, 24-BPP BMP/ICON files are accepted", modal.messages[0].text);
  EXPECT_EQ("Error loading image", modal.messages[0].caption);
  EXPECT_EQ(page->Window(), modal.messages[0].owner);
  EXPECT_EQ(static_cast<UINT>(MB_OK), modal.messages[0].type);
  EXPECT_EQ("Error loading mask image; only standard, grayscale 8-BPP BMP files are accepted", modal.messages[1].text);
  EXPECT_EQ("Error loading mask image", modal.messages[1].caption);

  EXPECT_EQ("", OverlayFile());
  VARIANT_BOOL loaded = VARIANT_TRUE;
  overlay->get_IsOverlayImageLoaded(&loaded);
  EXPECT_EQ(VARIANT_FALSE, loaded);
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  EXPECT_EQ("", page->Text(IDC_OVERLAY_FILE)) << "the page shows what the filter kept";
  SelectLayer(::LAYERTYPE_VIDEO2);
  EXPECT_EQ("", page->Text(IDC_MASK_FILE));
  overlay->get_IsMaskImageLoaded(::LAYERTYPE_VIDEO1, &loaded);
  EXPECT_EQ(VARIANT_TRUE, loaded) << "the good mask on another layer is loaded";

  // Nothing more to report on the next Apply.
  page->Type(IDC_XPOS, "50");
  ASSERT_EQ(S_OK, page->Apply());
  EXPECT_EQ(2u, modal.messages.size());
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
  EXPECT_EQ(1, modal.colourChoosers);
  EXPECT_EQ(page->Window(), seen.hwndOwner);
  EXPECT_EQ(0x00102030u, seen.rgbResult);
  EXPECT_TRUE(seen.Flags & CC_RGBINIT);
  EXPECT_EQ(S_FALSE, (*page)->IsPageDirty()) << "cancelling the background colour changes nothing";
  EXPECT_EQ(0, page->site.dirtyReports);

  SelectLayer(::LAYERTYPE_VIDEO2);
  page->Click(IDC_ENABLE_TRANSPARENCY);
  ASSERT_EQ(S_OK, page->Apply());
  EXPECT_EQ(S_FALSE, (*page)->IsPageDirty());
  const int reports = page->site.dirtyReports;
  page->Click(IDC_TRANSPARENT_COLOR);
  EXPECT_EQ(2, modal.colourChoosers);
  EXPECT_EQ(0x00405060u, seen.rgbResult);
  EXPECT_EQ(S_OK, (*page)->IsPageDirty()) << "cancelling the transparent colour still marks the page";
  EXPECT_GT(page->site.dirtyReports, reports);

  modal.chooseColor = [](CHOOSECOLORA* choice) {
    choice->rgbResult = 0x00ABCDEF;
    return TRUE;
  };
  page->Click(IDC_TRANSPARENT_COLOR);
  SelectLayer(::LAYERTYPE_BACKGROUND);
  page->Click(IDC_BK_COLOR);
  ASSERT_EQ(S_OK, page->Apply());
  OLE_COLOR colour = 0;
  overlay->get_BkLayerColor(&colour);
  EXPECT_EQ(0x00ABCDEFu, colour);
  EXPECT_EQ(0x00ABCDEFu, Colour(::LAYERTYPE_VIDEO2));
}

// A chooser's filter list as "name|pattern|...".
std::string FilterList(const char* filters) {
  std::string list;
  for (const char* f = filters; *f != '\0'; f += strlen(f) + 1) list += std::string(f) + "|";
  return list;
}

TEST_F(SettingsPageTest, FileChoosersFillTheNameTheFilterLoadsOnApply) {
  TempDir dir;
  BmpSpec picture;
  picture.width = 16;
  picture.height = 8;
  const std::wstring path = dir.Write(L"logo.bmp", MakeBmp(picture));
  const std::string pathA(path.begin(), path.end());
  Open();
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  page->Type(IDC_OVERLAY_FILE, "C:\\earlier.bmp");

  OPENFILENAMEA seen{};
  std::string prefilled, filters;
  modal.openFile = [&](OPENFILENAMEA* choice) {
    seen = *choice;
    prefilled = choice->lpstrFile;
    filters = FilterList(choice->lpstrFilter);
    return FALSE;
  };
  page->Click(IDC_OVERLAY_BROWSE);
  ASSERT_EQ(1, modal.fileChoosers);
  EXPECT_EQ(page->Window(), seen.hwndOwner);
  EXPECT_EQ("C:\\earlier.bmp", prefilled);
  EXPECT_EQ(260u, seen.nMaxFile);
  EXPECT_EQ(1u, seen.nFilterIndex);
  EXPECT_EQ(static_cast<DWORD>(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST), seen.Flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST));
  EXPECT_EQ("Bitmap Files(*.bmp)|*.bmp|Icon Files(*.ico)|*.ico|All(*.*)|*.*|", filters);
  EXPECT_EQ("C:\\earlier.bmp", page->Text(IDC_OVERLAY_FILE)) << "cancelled: nothing changes";

  modal.openFile = [&](OPENFILENAMEA* choice) {
    lstrcpynA(choice->lpstrFile, pathA.c_str(), static_cast<int>(choice->nMaxFile));
    return TRUE;
  };
  page->Click(IDC_OVERLAY_BROWSE);
  EXPECT_EQ(pathA, page->Text(IDC_OVERLAY_FILE));
  EXPECT_EQ(S_OK, (*page)->IsPageDirty());
  ASSERT_EQ(S_OK, page->Apply());
  EXPECT_TRUE(modal.messages.empty());
  EXPECT_EQ(pathA, OverlayFile());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  overlay->get_IsOverlayImageLoaded(&loaded);
  EXPECT_EQ(VARIANT_TRUE, loaded);

  // The mask chooser offers bitmaps only.
  SelectLayer(::LAYERTYPE_VIDEO1);
  page->Click(IDC_ENABLE_MASK);
  modal.openFile = [&](OPENFILENAMEA* choice) {
    filters = FilterList(choice->lpstrFilter);
    return FALSE;
  };
  page->Click(IDC_MASK_BROWSE);
  EXPECT_EQ("Bitmap files(*.bmp)|*.bmp|All(*.*)|*.*|", filters);
}

TEST_F(SettingsPageTest, HoverHelpNamesTheControlUnderTheMouseInBlue) {
  Open();
  auto hover = [&](int id) {
    SendMessageW(page->Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(page->Control(id)),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return page->Text(IDC_HOVER_HELP);
  };
  EXPECT_EQ("Type of the region defined for the selected layer.", hover(IDC_REGION_TYPE));
  EXPECT_EQ(
      "Select whether the output size should be Auto (maximum of the  input video sizes) or\n"
      "Custom (output size you specify).",
      hover(IDC_OUTPUT_SIZE_TYPE));
  EXPECT_EQ("", hover(IDC_RGN_LEFT_SPIN)) << "a control without a text clears the line";
  EXPECT_EQ("Move the selected layer one step to front.", hover(IDC_SEND_FRONT));

  // The swatches are hidden placeholders: found where the mouse is.
  RECT swatch{};
  GetWindowRect(page->Control(IDC_BK_SWATCH), &swatch);
  ASSERT_TRUE(SetCursorPos((swatch.left + swatch.right) / 2, (swatch.top + swatch.bottom) / 2));
  SendMessageW(page->Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(page->Window()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ("Background layer color.", page->Text(IDC_HOVER_HELP));

  HDC dc = CreateCompatibleDC(nullptr);
  const INT_PTR brush = SendMessageW(page->Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(page->Control(IDC_HOVER_HELP)));
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE)), brush);
  EXPECT_EQ(0x00E60000u, GetTextColor(dc));
  EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
  DeleteDC(dc);
}

TEST_F(SettingsPageTest, F1AndHelpSayWhenNoHelpIsFound) {
  Open();
  HELPINFO info = {sizeof(info), HELPINFO_WINDOW, IDC_OPACITY, page->Control(IDC_OPACITY), 0, {0, 0}};
  EXPECT_EQ(TRUE, SendMessageW(page->Window(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info)));
  ASSERT_FALSE(modal.messages.empty());
  EXPECT_EQ("Can't find help file.", modal.messages.back().text);
  EXPECT_EQ("TERN Video Overlay Filter (2.0)", modal.messages.back().caption) << "the filter's display name";
  EXPECT_EQ(nullptr, modal.messages.back().owner);
  const size_t shown = modal.messages.size();
  EXPECT_EQ(S_OK, (*page)->Help(nullptr));
  EXPECT_EQ(shown * 2, modal.messages.size());
}

}  // namespace
}  // namespace ovl::testing

#include "ui/overlay_property_page.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <string>

#include "engine/control/bstr_text.h"
#include "server/filter_identity.h"
#include "ui/help_launch.h"
#include "ui/integer_entry.h"
#include "ui/modal_seam.h"
#include "ui/resource_ids.h"

using ovl::ui::kPositions;

namespace {

constexpr UINT_PTR kPinTimer = 1;
constexpr UINT kPinTimerPeriodMs = 100;
constexpr COLORREF kHoverHelpColour = 0x00E60000;
// Layer sizes read as 0 until pictures arrive; the page then offers the
// largest frame it expects.
constexpr LONG kDefaultWidth = 1920;
constexpr LONG kDefaultHeight = 1080;

const char* const kLayerNames[kPositions] = {"Background color", "Video 1", "Video 2", "Overlay image"};
const char* const kRegionNames[] = {"No Region", "Rectangle", "Round Rectangle", "Ellipse"};

}  // namespace

class CVOvLyProperties::Updating {
 public:
  explicit Updating(CVOvLyProperties* page) : m_page(page) { ++m_page->m_nUpdating; }
  ~Updating() { --m_page->m_nUpdating; }
  Updating(const Updating&) = delete;
  Updating& operator=(const Updating&) = delete;

 private:
  CVOvLyProperties* m_page;
};

CUnknown* CALLBACK CVOvLyProperties::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  return CreatePage<CVOvLyProperties>(outer, phr);
}

CVOvLyProperties::CVOvLyProperties(LPUNKNOWN outer)
    : CBasePropertyPage(TEXT("Overlay property page"), outer, IDD_OVERLAY_PAGE, IDS_OVERLAY_PAGE_TITLE) {}

// --- IPropertyPage --------------------------------------------------------

HRESULT STDMETHODCALLTYPE CVOvLyProperties::GetPageInfo(PROPPAGEINFO* info) {
  const HRESULT hr = CBasePropertyPage::GetPageInfo(info);
  if (SUCCEEDED(hr)) ovl::ui::SetHelpPageInfo(info, m_szFilterName);
  return hr;
}

HRESULT STDMETHODCALLTYPE CVOvLyProperties::Help(LPCOLESTR /*helpDir*/) {
  ovl::ui::OpenHelp(m_szFilterName);
  return S_OK;
}

// --- connection -----------------------------------------------------------

HRESULT CVOvLyProperties::OnConnect(IUnknown* object) {
  ovl::ComPtr<IKMVVOvLy> overlay;
  HRESULT hr = object->QueryInterface(IID_IKMVVOvLy, overlay.PutVoid());
  if (FAILED(hr)) return hr;
  ovl::ComPtr<IKMMCommon> common;
  hr = object->QueryInterface(IID_IKMMCommon, common.PutVoid());
  if (FAILED(hr)) return hr;
  m_pOverlay = overlay;
  m_pCommon = common;

  // The display name names the filter's help.
  std::string name;
  ovl::ComPtr<IKMAVBase> base = m_pOverlay.As<IKMAVBase>(IID_IKMAVBase);
  ovl::control::CBstr text;
  if (!base || FAILED(base->GetFilterName(&text)) || FAILED(ovl::control::BstrToAnsi(text, &name))) {
    name = ovl::identity::kFilterNameA;
  }
  ovl::ui::SetName(m_szFilterName, name.c_str());

  ovl::ui::ReadSettings(m_pOverlay.Get(), &m_Settings);
  m_Applied = m_Settings;
  m_bActive = false;
  return S_OK;
}

HRESULT CVOvLyProperties::OnDisconnect() {
  // Cancelled: changes never applied are taken back, among them the output
  // size values that went to the filter at once.
  if (Dirty() && Connected()) {
    m_Settings = m_Applied;
    WriteToFilter();
  }
  if (!Connected()) return E_UNEXPECTED;
  m_pOverlay.Reset();
  m_pCommon.Reset();
  return S_OK;
}

// --- activation -----------------------------------------------------------

HRESULT CVOvLyProperties::OnActivate() {
  if (!Connected()) return S_FALSE;
  HWND dialog = m_hwnd;

  SendDlgItemMessageW(dialog, IDC_REGION_TYPE, CB_RESETCONTENT, 0, 0);
  for (const char* region : kRegionNames) {
    SendDlgItemMessageA(dialog, IDC_REGION_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(region));
  }
  SendDlgItemMessageW(dialog, IDC_OUTPUT_SIZE_TYPE, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageA(dialog, IDC_OUTPUT_SIZE_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Auto"));
  SendDlgItemMessageA(dialog, IDC_OUTPUT_SIZE_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Custom"));
  ShowAllSettings();

  ovl::ui::InstallHelpHook(dialog, m_szFilterName);

  for (LONG pin = 0; pin < 2; ++pin) {
    VARIANT_BOOL connected = VARIANT_FALSE;
    m_pCommon->get_IsTERNInputPinConnected(pin, &connected);
    m_bPinConnected[pin] = connected == VARIANT_TRUE;
  }
  m_bActive = true;
  SetTimer(dialog, kPinTimer, kPinTimerPeriodMs, nullptr);
  return S_OK;
}

HRESULT CVOvLyProperties::OnDeactivate() {
  ovl::ui::RemoveHelpHook(m_hwnd);
  m_bActive = false;
  KillTimer(m_hwnd, kPinTimer);
  m_hLastHover = nullptr;
  return S_OK;
}

// --- apply ----------------------------------------------------------------

HRESULT CVOvLyProperties::OnApplyChanges() {
  if (!Connected()) return E_UNEXPECTED;
  WriteToFilter();
  m_Applied = m_Settings;
  m_pCommon->CommitSettings();
  return S_OK;
}

void CVOvLyProperties::WriteToFilter() {
  ovl::ui::WriteSettings(m_pOverlay.Get(), m_Settings, m_hwnd);
  // Show what the filter accepted (a refused file is gone again).
  ovl::ui::ReadSettings(m_pOverlay.Get(), &m_Settings);
  if (m_hwnd != nullptr) ShowAllSettings();
}

// --- showing the record ---------------------------------------------------

void CVOvLyProperties::ShowAllSettings() {
  Updating updating(this);
  HWND dialog = m_hwnd;
  SetDlgItemTextA(dialog, IDC_OVERLAY_FILE, m_Settings.OverlayImageFileName);
  SendDlgItemMessageW(dialog, IDC_OUTPUT_SIZE_TYPE, CB_SETCURSEL, m_Settings.OutputSizeType, 0);
  SetSpin(IDC_OUTPUT_WIDTH_SPIN, IDC_OUTPUT_WIDTH, 0, kDefaultWidth, m_Settings.OutputWidth);
  SetSpin(IDC_OUTPUT_HEIGHT_SPIN, IDC_OUTPUT_HEIGHT, 0, kDefaultHeight, m_Settings.OutputHeight);
  // Activation starts at the back-most layer; later the selection stays.
  const int selected = m_bActive ? SelectedPosition() : 0;
  FillLayerList(selected);
  RefreshPosition(selected, true);
  ApplyEnablingRules();
  RepaintSwatch(IDC_BK_SWATCH);
  RepaintSwatch(IDC_TRANSPARENT_SWATCH);
}

void CVOvLyProperties::FillLayerList(int selected) {
  HWND list = GetDlgItem(m_hwnd, IDC_LAYER_LIST);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (int p = 0; p < kPositions; ++p) {
    const LONG type = m_Settings.LayerType[p];
    const char* name = type >= 0 && type < kPositions ? kLayerNames[type] : "";
    const LRESULT item = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageW(list, LB_SETITEMDATA, item, type);
  }
  SendMessageW(list, LB_SETCURSEL, selected, 0);
}

int CVOvLyProperties::SelectedPosition() const {
  const LRESULT selected = SendDlgItemMessageW(m_hwnd, IDC_LAYER_LIST, LB_GETCURSEL, 0, 0);
  return selected >= 0 && selected < kPositions ? static_cast<int>(selected) : 0;
}

SIZE CVOvLyProperties::LayerSize(LONG layerType) const {
  LONG width = 0, height = 0, bits = 0;
  if (m_pOverlay) m_pOverlay->GetLayerInfo(static_cast<LayerTypeConstants>(layerType), &width, &height, &bits);
  return {width != 0 ? width : kDefaultWidth, height != 0 ? height : kDefaultHeight};
}

// The spin's range and position, and the value in its edit: set apart, as a
// position outside the range would otherwise show clamped.
void CVOvLyProperties::SetSpin(int spinId, int editId, LONG low, LONG high, LONG value) {
  Updating updating(this);
  SendDlgItemMessageW(m_hwnd, spinId, UDM_SETRANGE32, low, high);
  SendDlgItemMessageW(m_hwnd, spinId, UDM_SETPOS32, 0, value);
  // The output size is shown unsigned, everything else signed.
  const bool isSigned = editId != IDC_OUTPUT_WIDTH && editId != IDC_OUTPUT_HEIGHT;
  SetDlgItemInt(m_hwnd, editId, static_cast<UINT>(value), isSigned);
}

void CVOvLyProperties::RefreshPosition(int p, bool clamp) {
  Updating updating(this);
  ovl::ui::PageSettings& s = m_Settings;
  HWND dialog = m_hwnd;
  CheckDlgButton(dialog, IDC_ENABLE_MASK, s.EnableMaskBitmap[p] ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_ENABLE_TRANSPARENCY, s.EnableTransparency[p] ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_ENABLE_OPACITY, s.EnableOpacity[p] ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemTextA(dialog, IDC_MASK_FILE, s.MaskImageFileName[p]);
  SetSpin(IDC_OPACITY_SPIN, IDC_OPACITY, 0, 100, s.Opacity[p]);
  SendDlgItemMessageW(dialog, IDC_REGION_TYPE, CB_SETCURSEL, s.Region[p], 0);

  // Positions are within the composite frame, the background layer's size.
  const SIZE frame = LayerSize(LAYERTYPE_BACKGROUND);
  if (clamp) {
    s.XPos[p] = std::min(s.XPos[p], frame.cx);
    s.YPos[p] = std::min(s.YPos[p], frame.cy);
  }
  SetSpin(IDC_XPOS_SPIN, IDC_XPOS, 0, frame.cx, s.XPos[p]);
  SetSpin(IDC_YPOS_SPIN, IDC_YPOS, 0, frame.cy, s.YPos[p]);

  // The region is within the layer's own picture.
  const SIZE layer = LayerSize(s.LayerType[p]);
  if (clamp) {
    s.RgnLeft[p] = std::min(s.RgnLeft[p], layer.cx - 1);
    s.RgnTop[p] = std::min(s.RgnTop[p], layer.cy - 1);
    s.RgnRight[p] = std::min(s.RgnRight[p], layer.cx);
    s.RgnBottom[p] = std::min(s.RgnBottom[p], layer.cy);
    s.RgnRoundRectEllipseWidth[p] = std::min(s.RgnRoundRectEllipseWidth[p], layer.cx);
    s.RgnRoundRectEllipseHeight[p] = std::min(s.RgnRoundRectEllipseHeight[p], layer.cy);
  }
  SetSpin(IDC_RGN_LEFT_SPIN, IDC_RGN_LEFT, 0, layer.cx - 1, s.RgnLeft[p]);
  SetSpin(IDC_RGN_TOP_SPIN, IDC_RGN_TOP, 0, layer.cy - 1, s.RgnTop[p]);
  SetSpin(IDC_RGN_RIGHT_SPIN, IDC_RGN_RIGHT, 1, layer.cx, s.RgnRight[p]);
  SetSpin(IDC_RGN_BOTTOM_SPIN, IDC_RGN_BOTTOM, 1, layer.cy, s.RgnBottom[p]);
  SetSpin(IDC_ROUND_WIDTH_SPIN, IDC_ROUND_WIDTH, 0, layer.cx, s.RgnRoundRectEllipseWidth[p]);
  SetSpin(IDC_ROUND_HEIGHT_SPIN, IDC_ROUND_HEIGHT, 0, layer.cy, s.RgnRoundRectEllipseHeight[p]);
}

void CVOvLyProperties::ApplyEnablingRules() {
  const ovl::ui::PageSettings& s = m_Settings;
  const int p = SelectedPosition();
  const bool mask = s.EnableMaskBitmap[p] != 0;
  const bool transparency = s.EnableTransparency[p] != 0;
  const bool opacity = s.EnableOpacity[p] != 0;
  const LONG region = s.Region[p];
  const struct {
    int id;
    bool enabled;
  } rules[] = {
      {IDC_MASK_FILE, mask},
      {IDC_MASK_BROWSE, mask},
      {IDC_ENABLE_TRANSPARENCY, !mask},
      {IDC_TRANSPARENT_COLOR, !mask && transparency},
      {IDC_ENABLE_OPACITY, !mask && !transparency},
      {IDC_OPACITY, !mask && !transparency && opacity},
      {IDC_OPACITY_SPIN, !mask && !transparency && opacity},
      {IDC_OVERLAY_FILE, s.LayerType[p] == LAYERTYPE_OVERLAYIMAGE},
      {IDC_OVERLAY_BROWSE, s.LayerType[p] == LAYERTYPE_OVERLAYIMAGE},
      {IDC_BK_COLOR, s.LayerType[p] == LAYERTYPE_BACKGROUND},
      {IDC_RGN_LEFT, region != REGION_NONE},
      {IDC_RGN_RIGHT, region != REGION_NONE},
      {IDC_RGN_TOP, region != REGION_NONE},
      {IDC_RGN_BOTTOM, region != REGION_NONE},
      {IDC_RGN_LEFT_SPIN, region != REGION_NONE},
      {IDC_RGN_RIGHT_SPIN, region != REGION_NONE},
      {IDC_RGN_TOP_SPIN, region != REGION_NONE},
      {IDC_RGN_BOTTOM_SPIN, region != REGION_NONE},
      {IDC_ROUND_WIDTH, region == REGION_ROUNDRECT},
      {IDC_ROUND_WIDTH_SPIN, region == REGION_ROUNDRECT},
      {IDC_ROUND_HEIGHT, region == REGION_ROUNDRECT},
      {IDC_ROUND_HEIGHT_SPIN, region == REGION_ROUNDRECT},
      {IDC_OUTPUT_WIDTH, s.OutputSizeType == OUTPUTSIZETYPE_CUSTOM},
      {IDC_OUTPUT_WIDTH_SPIN, s.OutputSizeType == OUTPUTSIZETYPE_CUSTOM},
      {IDC_OUTPUT_HEIGHT, s.OutputSizeType == OUTPUTSIZETYPE_CUSTOM},
      {IDC_OUTPUT_HEIGHT_SPIN, s.OutputSizeType == OUTPUTSIZETYPE_CUSTOM},
  };
  for (const auto& rule : rules) EnableWindow(GetDlgItem(m_hwnd, rule.id), rule.enabled);
}

// --- messages -------------------------------------------------------------

INT_PTR CVOvLyProperties::OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      PaintSwatches(dc);
      EndPaint(window, &paint);
      break;
    }
    case WM_SETCURSOR:
      ShowHoverHelp(reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_HELP:
      ovl::ui::OpenHelp(m_szFilterName);
      return MessageResult(window, TRUE);
    case WM_COMMAND:
      // Nothing before activation has finished, nor after the filter is gone.
      if (m_bActive && Connected()) OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_TIMER:
      if (wParam == kPinTimer) OnTimer();
      return 0;
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_HOVER_HELP) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kHoverHelpColour);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    default:
      break;
  }
  return CBasePropertyPage::OnReceiveMessage(window, message, wParam, lParam);
}

void CVOvLyProperties::OnCommand(int id, int code, HWND /*control*/) {
  ovl::ui::PageSettings& s = m_Settings;
  const int p = SelectedPosition();
  switch (id) {
    case IDC_ENABLE_TRANSPARENCY:
    case IDC_ENABLE_MASK:
    case IDC_ENABLE_OPACITY: {
      LONG* flags = id == IDC_ENABLE_MASK           ? s.EnableMaskBitmap
                    : id == IDC_ENABLE_TRANSPARENCY ? s.EnableTransparency
                                                    : s.EnableOpacity;
      flags[p] = IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED ? 1 : 0;
      ApplyEnablingRules();
      SetDirty();
      break;
    }
    case IDC_OPACITY:
    case IDC_ROUND_WIDTH:
    case IDC_ROUND_HEIGHT:
    case IDC_RGN_LEFT:
    case IDC_RGN_RIGHT:
    case IDC_RGN_TOP:
    case IDC_RGN_BOTTOM:
    case IDC_XPOS:
    case IDC_YPOS:
    case IDC_OUTPUT_WIDTH:
    case IDC_OUTPUT_HEIGHT:
      if (code == EN_CHANGE && m_nUpdating == 0) OnIntegerEntry(id);
      break;
    case IDC_OVERLAY_FILE:
    case IDC_MASK_FILE:
      if (code == EN_CHANGE && m_nUpdating == 0) {
        char text[ovl::ui::kNameBytes] = "";
        GetDlgItemTextA(m_hwnd, id, text, sizeof(text));
        ovl::ui::SetName(id == IDC_OVERLAY_FILE ? s.OverlayImageFileName : s.MaskImageFileName[p], text);
        SetDirty();
      }
      break;
    case IDC_REGION_TYPE:
      if (code == CBN_SELCHANGE) {
        const LRESULT region = SendDlgItemMessageW(m_hwnd, id, CB_GETCURSEL, 0, 0);
        if (region >= REGION_NONE && region <= REGION_ELLIPSE) s.Region[p] = static_cast<LONG>(region);
        ApplyEnablingRules();
        SetDirty();
      }
      break;
    case IDC_OUTPUT_SIZE_TYPE:
      if (code == CBN_SELCHANGE) OnOutputSizeChanged();
      break;
    case IDC_LAYER_LIST:
      if (code == LBN_SELCHANGE) {
        Updating updating(this);
        RefreshPosition(p, true);
        ApplyEnablingRules();
        RepaintSwatch(IDC_TRANSPARENT_SWATCH);
      }
      break;
    case IDC_SEND_BACK:
      MoveSelectedLayer(-1);
      break;
    case IDC_SEND_FRONT:
      MoveSelectedLayer(+1);
      break;
    case IDC_OVERLAY_BROWSE:
      ChooseFile(true);
      break;
    case IDC_MASK_BROWSE:
      ChooseFile(false);
      break;
    case IDC_BK_COLOR:
      if (code == BN_CLICKED) ChooseBackgroundColour();
      break;
    case IDC_TRANSPARENT_COLOR:
      if (code == BN_CLICKED) ChooseTransparentColour();
      break;
    default:
      break;
  }
}

void CVOvLyProperties::OnIntegerEntry(int id) {
  ovl::ui::PageSettings& s = m_Settings;
  const int p = SelectedPosition();
  const SIZE layer = LayerSize(s.LayerType[p]);
  const SIZE frame = LayerSize(LAYERTYPE_BACKGROUND);
  LONG* field = nullptr;
  LONG low = 0, high = 0;
  switch (id) {
    case IDC_OPACITY: field = &s.Opacity[p], high = 100; break;
    // A region keeps at least 2 pixels between its opposite edges.
    case IDC_RGN_LEFT: field = &s.RgnLeft[p], high = s.RgnRight[p] - 2; break;
    case IDC_RGN_RIGHT: field = &s.RgnRight[p], low = s.RgnLeft[p] + 2, high = layer.cx; break;
    case IDC_RGN_TOP: field = &s.RgnTop[p], high = s.RgnBottom[p] - 2; break;
    case IDC_RGN_BOTTOM: field = &s.RgnBottom[p], low = s.RgnTop[p] + 2, high = layer.cy; break;
    case IDC_ROUND_WIDTH: field = &s.RgnRoundRectEllipseWidth[p], high = s.RgnRight[p] - s.RgnLeft[p]; break;
    case IDC_ROUND_HEIGHT: field = &s.RgnRoundRectEllipseHeight[p], high = s.RgnBottom[p] - s.RgnTop[p]; break;
    case IDC_XPOS: field = &s.XPos[p], high = frame.cx; break;
    case IDC_YPOS: field = &s.YPos[p], high = frame.cy; break;
    case IDC_OUTPUT_WIDTH: field = &s.OutputWidth, high = kDefaultWidth; break;
    case IDC_OUTPUT_HEIGHT: field = &s.OutputHeight, high = kDefaultHeight; break;
    default: return;
  }

  const ovl::ui::EntryCheck entry = ovl::ui::CheckEntry(ovl::ui::ReadEntry(m_hwnd, id), low, high);
  if (entry.replace) {
    Updating updating(this);
    SetDlgItemInt(m_hwnd, id, static_cast<UINT>(entry.value), TRUE);
    const LRESULT end = SendDlgItemMessageW(m_hwnd, id, WM_GETTEXTLENGTH, 0, 0);
    SendDlgItemMessageW(m_hwnd, id, EM_SETSEL, end, end);
  }
  *field = entry.value;

  // The output size changes the layer sizes the other ranges come from.
  if (id == IDC_OUTPUT_WIDTH || id == IDC_OUTPUT_HEIGHT) {
    if (id == IDC_OUTPUT_WIDTH) m_pOverlay->put_OutputWidth(s.OutputWidth);
    else m_pOverlay->put_OutputHeight(s.OutputHeight);
    RefreshPosition(p, false);
  }
  SetDirty();
}

void CVOvLyProperties::OnOutputSizeChanged() {
  const LRESULT type = SendDlgItemMessageW(m_hwnd, IDC_OUTPUT_SIZE_TYPE, CB_GETCURSEL, 0, 0);
  if (type != OUTPUTSIZETYPE_AUTO && type != OUTPUTSIZETYPE_CUSTOM) return;
  m_Settings.OutputSizeType = static_cast<LONG>(type);
  m_pOverlay->put_OutputSizeType(static_cast<OutputSizeTypeConstants>(type));
  ApplyEnablingRules();
  RefreshPosition(SelectedPosition(), false);
  SetDirty();
}

void CVOvLyProperties::MoveSelectedLayer(int step) {
  const int p = SelectedPosition();
  const int to = p + step;
  if (to < 0 || to >= kPositions) return;  // already at the back or the front
  ovl::ui::SwapPositions(&m_Settings, p, to);
  {
    Updating updating(this);
    FillLayerList(to);
  }
  SetDirty();
}

// --- choosers -------------------------------------------------------------

void CVOvLyProperties::ChooseBackgroundColour() {
  CHOOSECOLORA choice = {};
  choice.lStructSize = sizeof(choice);
  choice.hwndOwner = m_hwnd;
  choice.rgbResult = m_Settings.BkLayerColor;
  choice.lpCustColors = m_CustomColours;
  choice.Flags = CC_RGBINIT;
  if (!ovl::ui::ChooseColorModal(&choice)) return;
  m_Settings.BkLayerColor = choice.rgbResult;
  RepaintSwatch(IDC_BK_SWATCH);
  SetDirty();
}

void CVOvLyProperties::ChooseTransparentColour() {
  const int p = SelectedPosition();
  CHOOSECOLORA choice = {};
  choice.lStructSize = sizeof(choice);
  choice.hwndOwner = m_hwnd;
  choice.rgbResult = m_Settings.TransparentColor[p];
  choice.lpCustColors = m_CustomColours;
  choice.Flags = CC_RGBINIT;
  if (ovl::ui::ChooseColorModal(&choice)) m_Settings.TransparentColor[p] = choice.rgbResult;
  // Marked dirty even when cancelled, as the page always has done.
  RepaintSwatch(IDC_TRANSPARENT_SWATCH);
  SetDirty();
}

void CVOvLyProperties::ChooseFile(bool overlay) {
  const int p = SelectedPosition();
  char (&target)[ovl::ui::kNameBytes] = overlay ? m_Settings.OverlayImageFileName : m_Settings.MaskImageFileName[p];
  char path[ovl::ui::kNameBytes] = "";
  ovl::ui::SetName(path, target);
  OPENFILENAMEA choice = {};
  choice.lStructSize = sizeof(choice);
  choice.hwndOwner = m_hwnd;
  choice.lpstrFilter = overlay ? "Bitmap Files(*.bmp)\0*.bmp\0Icon Files(*.ico)\0*.ico\0All(*.*)\0*.*\0"
                               : "Bitmap files(*.bmp)\0*.bmp\0All(*.*)\0*.*\0";
  choice.nFilterIndex = 1;
  choice.lpstrFile = path;
  choice.nMaxFile = sizeof(path);
  choice.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!ovl::ui::GetOpenFileNameModal(&choice)) return;
  path[sizeof(path) - 1] = '\0';
  ovl::ui::SetName(target, path);
  {
    Updating updating(this);
    SetDlgItemTextA(m_hwnd, overlay ? IDC_OVERLAY_FILE : IDC_MASK_FILE, target);
  }
  SetDirty();
}

// --- pins, hover help, swatches -------------------------------------------

void CVOvLyProperties::OnTimer() {
  if (!Connected()) return;
  for (LONG pin = 0; pin < 2; ++pin) {
    VARIANT_BOOL connected = VARIANT_FALSE;
    m_pCommon->get_IsTERNInputPinConnected(pin, &connected);
    const bool now = connected == VARIANT_TRUE;
    if (now == m_bPinConnected[pin]) continue;
    // A new or lost input changes the layer sizes the ranges come from.
    RefreshPosition(SelectedPosition(), true);
    m_bPinConnected[pin] = now;
  }
}

void CVOvLyProperties::ShowHoverHelp(HWND control) {
  // Disabled and hidden controls (the swatches) leave the cursor to the
  // page itself: find them by position.
  if (control == m_hwnd) control = ControlUnderCursor();
  if (control == m_hLastHover) return;
  m_hLastHover = control;
  char text[512] = "";
  const int id = control != nullptr ? GetDlgCtrlID(control) : 0;
  if (id > 0) LoadStringA(ResourceModule(), static_cast<UINT>(id), text, sizeof(text));
  SetDlgItemTextA(m_hwnd, IDC_HOVER_HELP, text);
}

HWND CVOvLyProperties::ControlUnderCursor() const {
  POINT point;
  if (!GetCursorPos(&point)) return nullptr;
  // The smallest numbered control there: group boxes and labels have no
  // number, and a control inside another wins.
  HWND best = nullptr;
  LONG bestArea = 0;
  for (HWND child = GetWindow(m_hwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(child);
    if (id <= 0 || id == 0xFFFF || id == IDC_HOVER_HELP) continue;
    RECT rect;
    GetWindowRect(child, &rect);
    if (!PtInRect(&rect, point)) continue;
    const LONG area = (rect.right - rect.left) * (rect.bottom - rect.top);
    if (best == nullptr || area < bestArea) best = child, bestArea = area;
  }
  return best;
}

void CVOvLyProperties::PaintSwatches(HDC dc) {
  const struct {
    int id;
    COLORREF colour;
  } swatches[] = {{IDC_BK_SWATCH, m_Settings.BkLayerColor},
                  {IDC_TRANSPARENT_SWATCH, m_Settings.TransparentColor[SelectedPosition()]}};
  for (const auto& swatch : swatches) {
    RECT rect;
    GetWindowRect(GetDlgItem(m_hwnd, swatch.id), &rect);
    MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&rect), 2);
    HBRUSH brush = CreateSolidBrush(swatch.colour);
    HGDIOBJ previous = SelectObject(dc, brush);
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(dc, previous);
    DeleteObject(brush);
  }
}

void CVOvLyProperties::RepaintSwatch(int id) {
  RECT rect;
  if (!GetWindowRect(GetDlgItem(m_hwnd, id), &rect)) return;
  MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&rect), 2);
  InvalidateRect(m_hwnd, &rect, TRUE);
}

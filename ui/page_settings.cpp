#include "ui/page_settings.h"

#include <string>
#include <utility>

#include "engine/control/bstr_text.h"
#include "ui/modal_seam.h"

namespace ovl::ui {
namespace {

using ovl::control::CBstr;

LayerTypeConstants Layer(LONG type) { return static_cast<LayerTypeConstants>(type); }

LONG FromBool(VARIANT_BOOL value) { return value == VARIANT_TRUE ? 1 : 0; }
VARIANT_BOOL ToBool(LONG stored) { return stored > 0 ? VARIANT_TRUE : VARIANT_FALSE; }

// A name the filter returns; a null BSTR or text without an ANSI form reads
// as no name.
void ReadName(HRESULT hr, BSTR text, char (&name)[kNameBytes]) {
  std::string ansi;
  if (FAILED(hr) || FAILED(ovl::control::BstrToAnsi(text, &ansi))) ansi.clear();
  SetName(name, ansi.c_str());
}

// An empty name goes out as a null BSTR (no file).
HRESULT PutName(const char (&name)[kNameBytes], BSTR* text) {
  *text = nullptr;
  if (name[0] == '\0') return S_OK;
  return ovl::control::AnsiToBstr(name, kNameBytes, text);
}

}  // namespace

void SetName(char (&name)[kNameBytes], const char* text) {
  size_t length = 0;
  if (text != nullptr) {
    // Stop at the last whole character that fits.
    while (text[length] != '\0') {
      const size_t step = IsDBCSLeadByteEx(CP_THREAD_ACP, static_cast<BYTE>(text[length])) && text[length + 1] != '\0' ? 2 : 1;
      if (length + step > kNameBytes - 1) break;
      length += step;
    }
    memcpy(name, text, length);
  }
  name[length] = '\0';
}

void ReadSettings(IKMVVOvLy* filter, PageSettings* s) {
  OLE_COLOR colour = s->BkLayerColor;
  filter->get_BkLayerColor(&colour);
  s->BkLayerColor = colour;

  for (LONG type = LAYERTYPE_BACKGROUND; type <= LAYERTYPE_OVERLAYIMAGE; ++type) {
    const LayerTypeConstants L = Layer(type);
    LONG p = -1;
    filter->get_LayerOrder(L, &p);
    if (p < 0 || p >= kPositions) continue;  // never a position outside the record
    s->LayerType[p] = type;
    filter->get_Opacity(L, &s->Opacity[p]);
    RegionConstants region = static_cast<RegionConstants>(s->Region[p]);
    filter->get_Region(L, &region);
    s->Region[p] = region;
    filter->get_RgnLeft(L, &s->RgnLeft[p]);
    filter->get_RgnTop(L, &s->RgnTop[p]);
    filter->get_RgnRight(L, &s->RgnRight[p]);
    filter->get_RgnBottom(L, &s->RgnBottom[p]);
    filter->get_RgnRoundRectEllipseWidth(L, &s->RgnRoundRectEllipseWidth[p]);
    filter->get_RgnRoundRectEllipseHeight(L, &s->RgnRoundRectEllipseHeight[p]);
    filter->get_XPos(L, &s->XPos[p]);
    filter->get_YPos(L, &s->YPos[p]);
    VARIANT_BOOL flag = VARIANT_FALSE;
    filter->get_EnableOpacity(L, &flag);
    s->EnableOpacity[p] = FromBool(flag);
    flag = VARIANT_FALSE;
    filter->get_EnableTransparency(L, &flag);
    s->EnableTransparency[p] = FromBool(flag);
    OLE_COLOR transparent = s->TransparentColor[p];
    filter->get_TransparentColor(L, &transparent);
    s->TransparentColor[p] = transparent;
    flag = VARIANT_FALSE;
    filter->get_EnableMaskBitmap(L, &flag);
    s->EnableMaskBitmap[p] = FromBool(flag);
    CBstr mask;
    const HRESULT hr = filter->get_MaskImageFileName(L, &mask);
    ReadName(hr, mask, s->MaskImageFileName[p]);
  }

  CBstr overlay;
  const HRESULT hr = filter->get_OverlayImageFileName(&overlay);
  ReadName(hr, overlay, s->OverlayImageFileName);
  OutputSizeTypeConstants sizeType = static_cast<OutputSizeTypeConstants>(s->OutputSizeType);
  filter->get_OutputSizeType(&sizeType);
  s->OutputSizeType = sizeType;
  filter->get_OutputWidth(&s->OutputWidth);
  filter->get_OutputHeight(&s->OutputHeight);
}

void WriteSettings(IKMVVOvLy* filter, const PageSettings& s, HWND owner) {
  filter->put_BkLayerColor(s.BkLayerColor);

  {
    CBstr name;
    if (FAILED(PutName(s.OverlayImageFileName, &name)) || FAILED(filter->put_OverlayImageFileName(name))) {
      ShowMessageBox(owner, "Error loading overlay image; only standard, 24-BPP BMP/ICON files are accepted",
                     "Error loading image", MB_OK);
      filter->put_OverlayImageFileName(nullptr);
    }
  }

  // Automatic size first, so the custom values cannot resize the output on
  // the way; a custom size takes effect once, when its type is set.
  if (s.OutputSizeType == OUTPUTSIZETYPE_AUTO) {
    filter->put_OutputSizeType(OUTPUTSIZETYPE_AUTO);
    filter->put_OutputWidth(s.OutputWidth);
    filter->put_OutputHeight(s.OutputHeight);
  } else {
    filter->put_OutputWidth(s.OutputWidth);
    filter->put_OutputHeight(s.OutputHeight);
    filter->put_OutputSizeType(static_cast<OutputSizeTypeConstants>(s.OutputSizeType));
  }

  for (int p = 0; p < kPositions; ++p) {
    const LayerTypeConstants L = Layer(s.LayerType[p]);
    filter->put_LayerOrder(L, p);
    filter->put_EnableOpacity(L, ToBool(s.EnableOpacity[p]));
    filter->put_Opacity(L, s.Opacity[p]);
    filter->put_Region(L, static_cast<RegionConstants>(s.Region[p]));
    filter->put_RgnLeft(L, s.RgnLeft[p]);
    filter->put_RgnTop(L, s.RgnTop[p]);
    filter->put_RgnRight(L, s.RgnRight[p]);
    filter->put_RgnBottom(L, s.RgnBottom[p]);
    filter->put_RgnRoundRectEllipseWidth(L, s.RgnRoundRectEllipseWidth[p]);
    filter->put_RgnRoundRectEllipseHeight(L, s.RgnRoundRectEllipseHeight[p]);
    filter->put_XPos(L, s.XPos[p]);
    filter->put_YPos(L, s.YPos[p]);
    filter->put_EnableTransparency(L, ToBool(s.EnableTransparency[p]));
    filter->put_TransparentColor(L, s.TransparentColor[p]);
    filter->put_EnableMaskBitmap(L, ToBool(s.EnableMaskBitmap[p]));
    CBstr mask;
    if (FAILED(PutName(s.MaskImageFileName[p], &mask)) || FAILED(filter->put_MaskImageFileName(L, mask))) {
      ShowMessageBox(owner, "Error loading mask image; only standard, grayscale 8-BPP BMP files are accepted",
                     "Error loading mask image", MB_OK);
      filter->put_MaskImageFileName(L, nullptr);
    }
  }
}

void SwapPositions(PageSettings* s, int a, int b) {
  using std::swap;
  swap(s->LayerType[a], s->LayerType[b]);
  swap(s->EnableTransparency[a], s->EnableTransparency[b]);
  swap(s->TransparentColor[a], s->TransparentColor[b]);
  swap(s->EnableMaskBitmap[a], s->EnableMaskBitmap[b]);
  swap(s->MaskImageFileName[a], s->MaskImageFileName[b]);
  swap(s->EnableOpacity[a], s->EnableOpacity[b]);
  swap(s->Opacity[a], s->Opacity[b]);
  swap(s->Region[a], s->Region[b]);
  swap(s->XPos[a], s->XPos[b]);
  swap(s->YPos[a], s->YPos[b]);
  swap(s->RgnLeft[a], s->RgnLeft[b]);
  swap(s->RgnTop[a], s->RgnTop[b]);
  swap(s->RgnRight[a], s->RgnRight[b]);
  swap(s->RgnBottom[a], s->RgnBottom[b]);
  swap(s->RgnRoundRectEllipseWidth[a], s->RgnRoundRectEllipseWidth[b]);
  swap(s->RgnRoundRectEllipseHeight[a], s->RgnRoundRectEllipseHeight[b]);
}

}  // namespace ovl::ui

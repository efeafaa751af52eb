#pragma once
// The settings page's copy of every filter setting, per-layer values kept by
// drawing position (0 is drawn first), and its transfers to and from the
// filter through IKMVVOvLy. A layer's values travel with it when the order
// changes.
#include <windows.h>

#include "KMVVOvLy.h"

namespace ovl::ui {

inline constexpr int kPositions = 4;
inline constexpr int kNameBytes = 260;

struct PageSettings {
  COLORREF BkLayerColor = 0;
  char OverlayImageFileName[kNameBytes] = {};
  LONG OutputSizeType = 0;
  LONG OutputWidth = 0;
  LONG OutputHeight = 0;
  LONG Region[kPositions] = {};
  LONG LayerType[kPositions] = {0, 1, 2, 3};  // the layer drawn at each position
  LONG EnableMaskBitmap[kPositions] = {};
  char MaskImageFileName[kPositions][kNameBytes] = {};
  COLORREF TransparentColor[kPositions] = {};
  LONG EnableTransparency[kPositions] = {};
  LONG EnableOpacity[kPositions] = {};
  LONG Opacity[kPositions] = {};
  LONG XPos[kPositions] = {};
  LONG YPos[kPositions] = {};
  LONG RgnLeft[kPositions] = {};
  LONG RgnTop[kPositions] = {};
  LONG RgnRight[kPositions] = {};
  LONG RgnBottom[kPositions] = {};
  LONG RgnRoundRectEllipseWidth[kPositions] = {};
  LONG RgnRoundRectEllipseHeight[kPositions] = {};
};

// Copies at most kNameBytes - 1 bytes of `text` (a character is never cut
// in two); null or empty clears the name.
void SetName(char (&name)[kNameBytes], const char* text);

// Reads every setting; the results of the single reads are not checked (a
// value the filter does not give stays as it was).
void ReadSettings(IKMVVOvLy* filter, PageSettings* settings);

// Writes every setting in the order the filter needs (the output size type
// last when custom, first when automatic; each layer's position before its
// values). A refused overlay or mask file is reported in a message box owned
// by `owner` and then cleared in the filter.
void WriteSettings(IKMVVOvLy* filter, const PageSettings& settings, HWND owner);

// Exchanges positions a and b with every per-position value.
void SwapPositions(PageSettings* settings, int a, int b);

}  // namespace ovl::ui

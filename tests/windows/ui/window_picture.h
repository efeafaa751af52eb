#pragma once
// Pictures of windows as a user sees them: the window's device context
// copied (BitBlt) into a 24-bit picture, since Wine's PrintWindow leaves the
// child controls out, and saved as PNG through the platform's imaging
// component.
#include <windows.h>

#include <string>
#include <vector>

namespace ovl::testing {

struct WindowPicture {
  int width = 0;
  int height = 0;
  std::vector<BYTE> pixels;  // rows top-down, blue, green, red, 4-byte aligned rows
  int stride() const { return (width * 3 + 3) & ~3; }
  COLORREF At(int x, int y) const {
    const BYTE* p = &pixels[static_cast<size_t>(y) * stride() + x * 3];
    return RGB(p[2], p[1], p[0]);
  }
};

// The client area of `window`; empty (width 0) when it cannot be copied.
WindowPicture CaptureWindow(HWND window);
// Writes the picture as a PNG file; S_OK or the imaging component's failure.
HRESULT SavePng(const WindowPicture& picture, const std::wstring& path);

}  // namespace ovl::testing

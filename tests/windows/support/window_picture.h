#pragma once
// Pictures of windows as a user sees them: the window's device context
// copied (BitBlt) into a 24-bit picture, since Wine's PrintWindow leaves the
// child controls out, and saved as PNG through the platform's imaging
// component.
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <string>
#include <vector>

#include "persistence/core/com_ptr.h"

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
inline WindowPicture CaptureWindow(HWND window) {
  WindowPicture picture;
  RECT client{};
  if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return picture;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;  // top-down, as PNG rows go
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC source = GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY)) {
      GdiFlush();
      picture.width = client.right;
      picture.height = client.bottom;
      const BYTE* start = static_cast<const BYTE*>(bits);
      picture.pixels.assign(start, start + static_cast<size_t>(picture.stride()) * picture.height);
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(window, source);
  return picture;
}

// Writes the picture as a PNG file; S_OK or the imaging component's failure.
inline HRESULT SavePng(const WindowPicture& picture, const std::wstring& path) {
  if (picture.width <= 0 || picture.height <= 0) return E_INVALIDARG;
  ovl::ComPtr<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.PutVoid());
  ovl::ComPtr<IWICStream> stream;
  if (SUCCEEDED(hr)) hr = factory->CreateStream(stream.Put());
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  ovl::ComPtr<IWICBitmapEncoder> encoder;
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
  ovl::ComPtr<IWICBitmapFrameEncode> frame;
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.Put(), nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(picture.width, picture.height);
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) hr = E_FAIL;
  if (SUCCEEDED(hr)) {
    hr = frame->WritePixels(picture.height, picture.stride(), static_cast<UINT>(picture.pixels.size()),
                            const_cast<BYTE*>(picture.pixels.data()));
  }
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  return hr;
}

// How many pixels of `picture` inside `control` (a child of the pictured
// `window`) satisfy `wanted`.
template <class Test>
int PixelsIn(const WindowPicture& picture, HWND window, HWND control, Test wanted) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  int count = 0;
  for (int y = std::max(0L, rect.top); y < rect.bottom && y < picture.height; ++y) {
    for (int x = std::max(0L, rect.left); x < rect.right && x < picture.width; ++x) count += wanted(picture.At(x, y));
  }
  return count;
}

}  // namespace ovl::testing

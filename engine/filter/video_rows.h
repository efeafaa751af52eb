#pragma once
// The rows of an input's picture: a VIDEOINFOHEADER's height is negative
// when the source sends them top first. Everything sized from an input
// (composite, regions, surfaces) takes the row count; only the compositor
// needs the order.
#include <windows.h>

#include <cstdint>

inline std::int32_t VideoRowCount(const BITMAPINFOHEADER& header) {
  return header.biHeight < 0 ? -header.biHeight : header.biHeight;
}

inline bool VideoRowsTopDown(const BITMAPINFOHEADER& header) { return header.biHeight < 0; }

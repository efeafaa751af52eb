#pragma once
// What the filter mapper learns about the filter, and the product family's
// processor categories.
#include "streaming/base/base_filter.h"

namespace ovl::server {

// The filter's entry: merit MERIT_DO_NOT_USE (automatic graph building must
// not pick it), one "Input" and one "Output" pin taking any video.
extern const AMOVIESETUP_FILTER kOverlayFilterSetup;

// Merit of the category and of the filter's entry in it.
inline constexpr DWORD kCategoryMerit = 0x00200000;

// The family's categories, addressed by bit: bit 0 audio, bit 1 video.
struct ProcessorCategory {
  const GUID* id;
  const wchar_t* description;
};
inline constexpr int kProcessorCategoryCount = 2;
extern const ProcessorCategory kProcessorCategories[kProcessorCategoryCount];
// This module is a video processor only.
inline constexpr unsigned kOurCategoryMask = 1u << 1;

}  // namespace ovl::server

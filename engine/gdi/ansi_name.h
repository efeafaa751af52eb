#pragma once
// File names are kept as 260-byte ANSI strings (thread code page).
#include <windows.h>

#include "engine/core/layer_settings.h"

namespace ovl::gdi {

// A name that needs more than 259 bytes in the thread's ANSI code page is
// refused with this code and nothing is stored.
inline constexpr HResult kFileNameTooLong = static_cast<HResult>(0x800700CEu);  // ERROR_FILENAME_EXCED_RANGE

HResult ToAnsiFileName(const wchar_t* name, char (&ansi)[kFileNameBytes]);

}  // namespace ovl::gdi

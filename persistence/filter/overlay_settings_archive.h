#pragma once
// The overlay filter's saved settings: 70 named values, 16 per layer
// position (key suffix = the position, 0 to 3) and six filter-wide ones, in
// one fixed order that is also the byte order of the stream form:
//   per position N: Region, Order, RgnLeft, RgnTop, RgnRight, RgnBottom,
//     RgnRoundWidth, RgnRoundHeight, XPos, YPos, EnableOpacity,
//     OpacityPercent, EnableTransparency, TransparentColor (VT_UI4),
//     EnableMaskBitmap (all VT_I4 unless noted), MaskImageFileName (string);
//   then BackgroundColor (VT_UI4), ImageFileName (string), Version (1),
//     OutputSizeType, OutputWidth, OutputHeight.
// "Version" 1 announces the three output-size values; a store without it,
// or with another number, is loaded without them.
#include <windows.h>

#include "KMVVOvLy.h"
#include "persistence/filter/common_filter.h"
#include "engine/core/overlay_settings.h"
#include "persistence/stores/rk_persistence.h"

namespace ovl::control {

// The largest stream form a load reads: 65 four-byte values and five string
// records whose text could still fit a 260-byte name field (fewer than 520
// UTF-16 units, the bound past which the library refuses a record unread).
inline constexpr ULONG kOverlayFormValues = 65;
inline constexpr ULONG kOverlayFormStrings = 5;
inline constexpr ULONG kMaxOverlayFormBytes = kOverlayFormValues * 4 + kOverlayFormStrings * (8 + 2 * 519);

// Saves or loads every setting, the direction given by the archive.
// A save reads one consistent copy of the settings under the filter lock.
// A load first resets every setting through `self`, reads the values
// (written into the settings under the filter lock, OpacityLevel derived
// again), then re-applies regions, positions, mask names, the background
// colour and the image name through `self`'s setters so that regions,
// masks, the image and the background surface are rebuilt, and recomputes the output
// size. A failed read ends the load with its code: the values read so far
// stay, the others keep their defaults, nothing is re-applied. The layer
// order is the exception: an "Order" value outside 0..3 or naming a type an
// earlier position holds fails with E_INVALIDARG, and the loaded order takes
// effect only once all four are read, so the table is always a permutation.
// Output sizes in a store that the setters would refuse (negative, or
// beyond kMaxFrameSide) are refused with E_INVALIDARG.
HRESULT SerializeOverlaySettings(CRKArchive& archive, OverlaySettings& settings, SettingsHost& host,
                                 IKMVVOvLy& self);

// The extent of the overlay settings' stream form at `form`, read from its
// own string length words: exactly the form's size for a form written by
// the filter, and at most kMaxOverlayFormBytes whatever the bytes say. It
// ends early at a string record the load will refuse or fail on.
HRESULT MeasureOverlaySettingsForm(const BYTE* form, CMemoryFormExtent* extent);

}  // namespace ovl::control

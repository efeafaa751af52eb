#pragma once
// The settings page's rule for a number typed into one of its edits: a value
// inside (low, high] other than 0 is kept as typed; anything else is
// replaced in the edit by the bound it crossed, or by 0 when 0 lies inside.
// With an empty range (high < low) the bound met first wins.
#include <windows.h>

namespace ovl::ui {

struct EntryCheck {
  LONG value;    // what is stored
  bool replace;  // whether the edit's text must become `value`
};

EntryCheck CheckEntry(LONG typed, LONG low, LONG high);

// The edit's text as a signed integer; text that is not one reads as 0.
LONG ReadEntry(HWND dialog, int editId);

}  // namespace ovl::ui

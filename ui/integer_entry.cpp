#include "ui/integer_entry.h"

namespace ovl::ui {

EntryCheck CheckEntry(LONG typed, LONG low, LONG high) {
  if (typed > low && typed <= high && typed != 0) return {typed, false};
  if (typed <= low) return {low, true};
  if (typed > high) return {high, true};
  return {0, true};
}

LONG ReadEntry(HWND dialog, int editId) {
  BOOL number = FALSE;
  const int value = static_cast<int>(GetDlgItemInt(dialog, editId, &number, TRUE));
  return number ? value : 0;
}

}  // namespace ovl::ui

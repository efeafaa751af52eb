// Placeholder for the binding to the HTML Help control: shows nothing until
// the help launcher brings the real binding.
#include "ui/modal_seam.h"

namespace ovl::ui {

HWND PlatformHtmlHelp(HWND /*owner*/, const char* /*file*/, UINT /*command*/, DWORD_PTR /*data*/) { return nullptr; }

}  // namespace ovl::ui

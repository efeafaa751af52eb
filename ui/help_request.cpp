#include "ui/help_launch.h"
#include "ui/modal_seam.h"

namespace ovl::ui {

void OpenHelp(const char* displayName) {
  if (LaunchHelp(displayName) != 0) {
    ShowMessageBox(nullptr, "Can't find help file.", displayName, MB_OK);
  }
}

}  // namespace ovl::ui

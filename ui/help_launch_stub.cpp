// Placeholder for the help launcher: finds no help, names no help file and
// hooks nothing, until the launcher itself takes this file's place.
#include "ui/help_launch.h"

namespace ovl::ui {

int LaunchHelp(const char* displayName, unsigned /*family*/) { return displayName == nullptr ? -3 : -1; }

void SetHelpPageInfo(PROPPAGEINFO* /*info*/, const char* /*displayName*/) {}

HRESULT InstallHelpHook(HWND /*page*/, const char* /*displayName*/, unsigned /*family*/) { return S_OK; }

void RemoveHelpHook(HWND /*page*/) {}

}  // namespace ovl::ui

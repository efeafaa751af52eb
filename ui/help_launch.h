#pragma once
// Help for a filter, found by its display name: the launcher, the help file
// named in a page's information, and the hook that makes F1 anywhere in the
// property frame open the filter's help while one of its pages is shown.
#include <windows.h>
#include <ocidl.h>

namespace ovl::ui {

// Opens the help of the filter called `displayName` (ANSI). `family` is 0
// for filters. 0: help shown or handed to the shell; non-zero: nothing found
// (-1 after its own message, -2 name too long, -3 no name or no help path).
int LaunchHelp(const char* displayName, unsigned family = 0);

// The launcher, and "Can't find help file." (no owner, the display name as
// caption) when it finds nothing. What both pages do on F1 and Help.
void OpenHelp(const char* displayName);

// Fills the help fields of a page's information for the filter.
void SetHelpPageInfo(PROPPAGEINFO* info, const char* displayName);

// While a page is shown: hooks the property frame (the page's parent) so that
// F1 there opens the filter's help. Installing twice keeps the first hook.
HRESULT InstallHelpHook(HWND page, const char* displayName, unsigned family = 0);
void RemoveHelpHook(HWND page);

}  // namespace ovl::ui

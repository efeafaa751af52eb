#pragma once
// F1 anywhere in a property frame opens the help of the filter whose page is
// shown: while a page is active it subclasses the frame window (the page
// dialog's parent) and answers the frame's WM_HELP.
#include <windows.h>

namespace ovl::ui {

// Subclasses the parent of `page` unless one of our hooks is already on it.
// S_FALSE when a hook was in place, E_OUTOFMEMORY, E_INVALIDARG without a
// parent window.
HRESULT InstallHelpHook(HWND page, const char* displayName, int family);
// Restores the parent of `page` to what it was before the hook.
void RemoveHelpHook(HWND page);

}  // namespace ovl::ui

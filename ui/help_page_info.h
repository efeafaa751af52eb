#pragma once
// The help fields of a property page's information: the frame's own Help
// button and tools find the local help page by them.
#include <windows.h>
#include <ocidl.h>

namespace ovl::ui {

// No document string, help context 0, and as help file a task-memory string
// (260 wide characters) with the local page name and ".htm". E_OUTOFMEMORY
// leaves the help file null.
HRESULT SetHelpPageInfo(PROPPAGEINFO* info, const char* displayName);

}  // namespace ovl::ui

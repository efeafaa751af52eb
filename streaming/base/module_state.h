#pragma once
// Module-wide state the framework keeps for the COM server: the module's
// instance handle and the counts of live objects and server locks that
// decide when it may unload. Every framework object counts itself.
#include <windows.h>

namespace ovl::module {

void SetInstance(HINSTANCE instance);
HINSTANCE Instance();

void AddObject();
void ReleaseObject();
void LockServer(bool lock);
bool CanUnload();

}  // namespace ovl::module

#pragma once
// Module-wide state of the COM server: its instance handle and the counts of
// live objects and server locks that decide when it may unload.
#include <windows.h>

namespace ovl::server {

void SetModuleInstance(HINSTANCE instance);
HINSTANCE ModuleInstance();

void AddObject();
void ReleaseObject();
void LockServer(bool lock);
bool CanUnload();

}  // namespace ovl::server

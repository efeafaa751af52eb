#include "server/module_state.h"

namespace ovl::server {
namespace {
HINSTANCE g_instance = nullptr;
volatile LONG g_objects = 0;
volatile LONG g_locks = 0;
}  // namespace

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE ModuleInstance() { return g_instance; }

void AddObject() { InterlockedIncrement(&g_objects); }
void ReleaseObject() { InterlockedDecrement(&g_objects); }
void LockServer(bool lock) {
  if (lock) InterlockedIncrement(&g_locks);
  else InterlockedDecrement(&g_locks);
}
bool CanUnload() { return g_objects == 0 && g_locks == 0; }

}  // namespace ovl::server

#include "streaming/base/module_state.h"

#include <atomic>

namespace ovl::module {
namespace {
HINSTANCE g_instance = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

void SetInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE Instance() { return g_instance; }

void AddObject() { ++g_objects; }
void ReleaseObject() { --g_objects; }
void LockServer(bool lock) {
  if (lock) ++g_locks;
  else --g_locks;
}
bool CanUnload() { return g_objects == 0 && g_locks == 0; }

}  // namespace ovl::module

#include "engine/filter/strip_workers_for_frame.h"

#include <windows.h>

#include <bitset>
#include <cstdlib>

#include "engine/core/strip_workers.h"

namespace ovl {

int StripWorkersForFrame(std::int32_t width, std::int32_t height) {
  DWORD_PTR processMask = 0, systemMask = 0;
  int cores = 1;
  if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask) && processMask != 0) {
    cores = static_cast<int>(std::bitset<8 * sizeof(DWORD_PTR)>(processMask).count());
  }
  char text[16] = {};
  const DWORD length = GetEnvironmentVariableA("OVL_STRIP_WORKERS", text, sizeof text);
  const int cap = length > 0 && length < sizeof text ? std::atoi(text) : 0;
  return ChooseStripWorkers(cores, width, height, cap > 0 ? cap : 0);
}

}  // namespace ovl

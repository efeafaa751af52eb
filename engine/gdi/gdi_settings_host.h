#pragma once
// The settings host of a filter on Windows: regions through GDI and the
// filter lock as a critical section. Pin state, the background brush and the
// output size are the filter's and come with it.
#include <windows.h>

#include "engine/core/overlay_settings.h"

namespace ovl::gdi {

class GdiSettingsHost : public SettingsHost {
 public:
  explicit GdiSettingsHost(CRITICAL_SECTION* filterLock = nullptr) : lock_(filterLock) {}
  void LockFilter() override {
    if (lock_ != nullptr) EnterCriticalSection(lock_);
  }
  void UnlockFilter() override {
    if (lock_ != nullptr) LeaveCriticalSection(lock_);
  }
  HResult RebuildRegion(LayerSettings& layer) override;

 private:
  CRITICAL_SECTION* lock_;
};

}  // namespace ovl::gdi

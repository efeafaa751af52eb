#pragma once
// The settings host on Windows: regions through GDI. The filter lock, pin
// state, the background surface and the output size are the filter's and
// come with its own host derived from this one.
#include <windows.h>

#include "engine/core/overlay_settings.h"

namespace ovl::gdi {

class GdiSettingsHost : public SettingsHost {
 public:
  HResult RebuildRegion(LayerSettings& layer) override;
};

}  // namespace ovl::gdi

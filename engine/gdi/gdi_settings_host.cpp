#include "engine/gdi/gdi_settings_host.h"

#include "engine/gdi/region_builder.h"

namespace ovl::gdi {

HResult GdiSettingsHost::RebuildRegion(LayerSettings& layer) { return BuildLayerRegion(layer); }

}  // namespace ovl::gdi

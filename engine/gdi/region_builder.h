#pragma once
// A layer's clip region as a GDI region in frame coordinates, and the spans
// of that region that the compositor walks.
#include <windows.h>

#include "engine/core/layer_settings.h"

namespace ovl::gdi {

// Deletes the record's region and builds a new one from its Region type,
// rectangle and position: the rectangle (RgnLeft..RgnBottom) moved by
// (XPos, YPos), as CreateRectRgn, CreateRoundRectRgn or CreateEllipticRgn
// make it. REGION_NONE builds nothing. kOutOfMemory when a shape was asked
// for and GDI made none (the layer is then drawn unlimited).
HResult BuildLayerRegion(LayerSettings& layer);

void DeleteLayerRegion(LayerSettings& layer);

// The pixels of `region` as banded spans, read from GDI's own region data.
bool RegionCoverage(HRGN region, RegionSpans& coverage);

}  // namespace ovl::gdi

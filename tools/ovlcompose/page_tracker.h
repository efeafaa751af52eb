#pragma once
// The property pages of one property frame, seen from the program that runs
// the frame. A frame is meant to apply its pages when the user presses OK;
// Wine 8's frame never does, so the edits would never reach the filter. So
// the program hands the frame pages that forward to the real ones and
// applies them itself on OK; a frame that applies them as well (Windows)
// finds nothing left to apply.
#include <windows.h>
#include <ocidl.h>

namespace ovlcompose {

// Registers, for this process, class objects for the page classes that make
// each page from `real` (one factory per class, in the same order) wrapped in
// a tracker. Revoked again by RevokeTrackedPages.
HRESULT TrackPages(const CLSID* const* classes, IClassFactory* const* real, int count);
void RevokeTrackedPages();

// Applies every page a frame created, as the frame's OK does.
void ApplyTrackedPages();

}  // namespace ovlcompose

#pragma once
// The size in pixels a dialog resource takes when it is created: its
// template's width and height in dialog units, converted with the base units
// of the template's own font (the system's when it names none).
#include <windows.h>

namespace ovl::ui {

// False when the resource is missing or its template is malformed.
bool DialogTemplatePixels(HINSTANCE module, int dialogId, SIZE* pixels);

}  // namespace ovl::ui

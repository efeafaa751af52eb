#pragma once
// ovlcompose --edit-settings FILE: the filter's own property frame, both
// pages, on a filter carrying FILE's settings; OK writes them back to FILE.
#include <string>

namespace ovlcompose {

// Runs the frame on this thread (it initialises OLE itself, so it runs
// before the composer's own COM set-up). Returns the exit status: 0 when
// the frame closed (FILE written on OK, left alone on Cancel), 1 on an error.
int EditSettings(const std::wstring& file);

}  // namespace ovlcompose

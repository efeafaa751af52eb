#pragma once
// --trace FILE: turns the filter's trace log on for this run, written to a
// new FILE, through the switch the module reads when it loads.
#include <string>

namespace ovlcompose {

// Sets the switch for this process; call before the filter's module loads.
// False with a message when FILE cannot be used.
bool TraceModuleTo(const std::wstring& file, std::wstring& error);

}  // namespace ovlcompose

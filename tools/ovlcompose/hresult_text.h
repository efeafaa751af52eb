#pragma once
// What an HRESULT means, for error lines: the code's name and the platform's
// text for it, e.g. "VFW_E_CANNOT_CONNECT (0x80040217): No combination of
// intermediate filters could be found to make the connection."
#include <windows.h>

#include <string>

namespace ovlcompose {

std::string DescribeHresult(HRESULT hr);

}  // namespace ovlcompose

#include "tools/ovlcompose/hresult_text.h"

#include <vfwmsgs.h>

#include <cstdio>

namespace ovlcompose {
namespace {

struct KnownCode {
  HRESULT hr;
  const char* name;
  const char* text;
};

// The codes that building an input graph answers with. The platform's own
// lookup (AMGetErrorText) is not used: Wine's gives only the number.
constexpr KnownCode kKnownCodes[] = {
    {VFW_E_CANNOT_CONNECT, "VFW_E_CANNOT_CONNECT",
     "No combination of intermediate filters could be found to make the connection."},
    {VFW_E_NO_ACCEPTABLE_TYPES, "VFW_E_NO_ACCEPTABLE_TYPES", "There is no common media type between these pins."},
    {VFW_E_TYPE_NOT_ACCEPTED, "VFW_E_TYPE_NOT_ACCEPTED", "The media type is not accepted."},
    {VFW_E_INVALIDMEDIATYPE, "VFW_E_INVALIDMEDIATYPE", "An invalid media type was specified."},
    {VFW_E_UNKNOWN_FILE_TYPE, "VFW_E_UNKNOWN_FILE_TYPE", "The media type of this file is not recognized."},
    {VFW_E_UNSUPPORTED_STREAM, "VFW_E_UNSUPPORTED_STREAM", "The file's format is not supported."},
    {VFW_E_INVALID_FILE_FORMAT, "VFW_E_INVALID_FILE_FORMAT", "The file format is invalid."},
    {VFW_E_NOT_FOUND, "VFW_E_NOT_FOUND", "An object or name was not found."},
    {VFW_E_CANNOT_RENDER, "VFW_E_CANNOT_RENDER", "No combination of filters could be found to render the stream."},
};

// The system's message for the code, without its line break; empty when it has none.
std::string SystemText(HRESULT hr) {
  char buffer[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(hr), 0, buffer, sizeof(buffer), nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::string DescribeHresult(HRESULT hr) {
  char number[16];
  std::snprintf(number, sizeof(number), "0x%08lX", static_cast<unsigned long>(hr));
  for (const KnownCode& known : kKnownCodes) {
    if (known.hr == hr) return std::string(known.name) + " (" + number + "): " + known.text;
  }
  const std::string text = SystemText(hr);
  return text.empty() ? std::string(number) : std::string(number) + ": " + text;
}

}  // namespace ovlcompose

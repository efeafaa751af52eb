#pragma once
// Texts for streaming and seeking trace lines: a sample's start time and the
// name of a time format.
#include <cstddef>
#include <cstdint>

namespace ovl::diag {

constexpr std::int32_t kNoStopTime = 0x00040270;  // VFW_S_NO_STOP_TIME

// The start time of a sample in 100-ns units as "12ms", "-1.500s",
// "MAX_INT64" or "MIN_INT64". `timeResult` is what asking the sample for its
// times returned: anything but S_OK or VFW_S_NO_STOP_TIME gives "NO TIME".
// `out` holds at least 50 bytes.
void FormatSampleTime(std::int32_t timeResult, std::int64_t start, char* out, std::size_t size);

// A GUID laid out as the platform lays it out.
struct GuidBytes {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// The fixed identifier this module names "Absolute time": a time format of
// the product family (sample times counted from a wall-clock origin). Its
// value is chosen here, once; never change it.
extern const GuidBytes kTimeFormatAbsolute;
// The product family's media subtype of a UDP stream, named in seeking lines.
// This filter never carries one; the value is chosen here like the one above.
extern const GuidBytes kMediaSubtypeUdpStream;

// The name of a time format: "Time", "Frame", ... for the known formats
// (GUID_NULL is TIME_FORMAT_NONE, "None"), "(NULL)" for no identifier,
// "MEDIASUBTYPE_UDPStream", or else the identifier in braces written into
// `scratch` (at least 39 bytes).
const char* TimeFormatText(const GuidBytes* format, char* scratch, std::size_t size);

}  // namespace ovl::diag

#include "diag/core/time_texts.h"

#include <cstdio>
#include <cstring>

namespace ovl::diag {

const GuidBytes kTimeFormatAbsolute = {0x5D3A6E41, 0x8F0B, 0x4C6E, {0x9B, 0x21, 0x54, 0x45, 0x52, 0x4E, 0x41, 0x54}};
const GuidBytes kMediaSubtypeUdpStream = {0x5D3A6E42, 0x8F0B, 0x4C6E, {0x9B, 0x21, 0x54, 0x45, 0x52, 0x4E, 0x55, 0x44}};

namespace {

constexpr GuidBytes DirectShowFormat(std::uint32_t data1) {
  return {data1, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};
}

struct NamedFormat {
  GuidBytes id;
  const char* name;
};

// TIME_FORMAT_NONE is the all-zero identifier, so GUID_NULL reads as "None".
const NamedFormat kFormats[] = {
    {DirectShowFormat(0x7B785574), "Time"},
    {DirectShowFormat(0x7B785570), "Frame"},
    {DirectShowFormat(0x7B785571), "Byte"},
    {DirectShowFormat(0x7B785572), "Sample"},
    {DirectShowFormat(0x7B785573), "Field"},
    {GuidBytes{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}, "None"},
    {kTimeFormatAbsolute, "Absolute time"},
};

bool Same(const GuidBytes& a, const GuidBytes& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
         std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

}  // namespace

void FormatSampleTime(std::int32_t timeResult, std::int64_t start, char* out, std::size_t size) {
  if (timeResult != 0 && timeResult != kNoStopTime) {
    std::snprintf(out, size, "NO TIME");
  } else if (start == INT64_MAX) {
    std::snprintf(out, size, "MAX_INT64");
  } else if (start == INT64_MIN + 1) {
    std::snprintf(out, size, "MIN_INT64");
  } else {
    const std::int64_t ms = start / 10000;
    if (ms > -1000 && ms < 1000) {
      std::snprintf(out, size, "%dms", static_cast<int>(ms));
    } else {
      const std::int64_t rest = ms % 1000;
      std::snprintf(out, size, "%lld.%03ds", static_cast<long long>(ms / 1000), static_cast<int>(rest < 0 ? -rest : rest));
    }
  }
}

const char* TimeFormatText(const GuidBytes* format, char* scratch, std::size_t size) {
  if (format == nullptr) return "(NULL)";
  for (const NamedFormat& known : kFormats) {
    if (Same(*format, known.id)) return known.name;
  }
  if (Same(*format, kMediaSubtypeUdpStream)) return "MEDIASUBTYPE_UDPStream";
  const GuidBytes& g = *format;
  std::snprintf(scratch, size, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(g.data1),
                g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5],
                g.data4[6], g.data4[7]);
  return scratch;
}

}  // namespace ovl::diag

// Status-code names, sample-time and time-format texts, and the switch value.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "diag/core/status_names.h"
#include "diag/core/time_texts.h"
#include "diag/core/trace_switch.h"

namespace ovl::diag {
namespace {

std::string Name(std::uint32_t code) {
  char scratch[100];
  return StatusCodeText(code, scratch, sizeof scratch);
}

TEST(StatusNames, TablesHoldEveryRowInOrder) {
  const CodeTable sockets = SocketErrorTable();
  ASSERT_EQ(sockets.count, 89u);
  EXPECT_EQ(sockets.rows[0].code, 10004u);
  EXPECT_EQ(sockets.rows[88].code, 11031u);
  for (std::size_t i = 1; i < sockets.count; ++i) EXPECT_LT(sockets.rows[i - 1].code, sockets.rows[i].code) << i;
  for (std::size_t i = 0; i < sockets.count; ++i) {
    EXPECT_NE(std::strstr(sockets.rows[i].text, " = "), nullptr) << sockets.rows[i].code;
  }

  const CodeTable status = StatusCodeTable();
  ASSERT_EQ(status.count, 123u);
  EXPECT_STREQ(status.rows[0].text, "S_OK");
  EXPECT_STREQ(status.rows[122].text, "E_ABORTED_BY_DOWNSTREAM_FILTER");
  std::set<std::uint32_t> seen;
  int repeated = 0;
  for (std::size_t i = 0; i < status.count; ++i) repeated += seen.insert(status.rows[i].code).second ? 0 : 1;
  EXPECT_EQ(repeated, 2);  // the second DVR-waiting and media rows
}

TEST(StatusNames, RangesAndUnknownCodes) {
  EXPECT_EQ(Name(0x80072745), "WSAECONNABORTED = An established connection was aborted by the software in your host machine");
  EXPECT_EQ(Name(0x80072EDE), "Unknown Winsock error (11998=0x00002EDE)");
  EXPECT_EQ(Name(0x80072710), "Unknown Winsock error (10000=0x00002710)");
  EXPECT_EQ(Name(0x80072EE0), "0x80072EE0");  // just past the sockets range
  EXPECT_EQ(Name(0x8005F005), "TERNKIT Raster Error (-5)");
  EXPECT_EQ(Name(0x8005F000), "TERNKIT Raster Error (0)");
  EXPECT_EQ(Name(0x8005FFFF), "TERNKIT Raster Error (-4095)");
  EXPECT_EQ(Name(0x12345678), "0x12345678");
}

TEST(StatusNames, RowsGiveTheirWholeTextAndTheEarlierRowWins) {
  EXPECT_EQ(Name(0x00050055), "RKMM_S_WRONG_STATE - The change was successful, but will take effect the next time you run the graph");
  EXPECT_EQ(Name(0x00050024), "RKMM_S_DVR_WAITING");
  EXPECT_EQ(Name(0x80050042), "RKMM_E_NO_MEDIA - No media handler is available.");
  EXPECT_EQ(Name(0x80004005), "E_FAIL");
  EXPECT_EQ(Name(0x80040227), "VFW_E_WRONG_STATE");
  EXPECT_EQ(Name(0x80070020), "HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)");
  EXPECT_EQ(Name(0xC00D0029), "NS_E_CONNECTION_FAILURE - The network connection has failed.");
  EXPECT_EQ(Name(0xFEDCBA97), "E_ABORTED_BY_THIS_FILTER");
}

std::string SampleTime(std::int32_t result, std::int64_t start) {
  char out[50];
  FormatSampleTime(result, start, out, sizeof out);
  return out;
}

TEST(SampleTimeText, MillisecondsUnderASecondElseSeconds) {
  EXPECT_EQ(SampleTime(0, 0), "0ms");
  EXPECT_EQ(SampleTime(0, 9999999), "999ms");
  EXPECT_EQ(SampleTime(kNoStopTime, -9999999), "-999ms");
  EXPECT_EQ(SampleTime(0, 10000000), "1.000s");
  EXPECT_EQ(SampleTime(0, -15000000), "-1.500s");
  EXPECT_EQ(SampleTime(0, 1234567890123), "123456.789s");
  EXPECT_EQ(SampleTime(0, INT64_MAX), "MAX_INT64");
  EXPECT_EQ(SampleTime(0, INT64_MIN + 1), "MIN_INT64");
  EXPECT_EQ(SampleTime(0, INT64_MIN), "-922337203685.477s");
  EXPECT_EQ(SampleTime(static_cast<std::int32_t>(0x80040249), 0), "NO TIME");  // VFW_E_SAMPLE_TIME_NOT_SET
  EXPECT_EQ(SampleTime(1, 0), "NO TIME");
}

std::string FormatName(const GuidBytes* id) {
  char scratch[39];
  return TimeFormatText(id, scratch, sizeof scratch);
}

TEST(TimeFormatText, KnownFormatsByNameOthersInBraces) {
  const GuidBytes mediaTime = {0x7B785574, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};
  const GuidBytes frame = {0x7B785570, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};
  const GuidBytes field = {0x7B785573, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};
  const GuidBytes null = {};
  const GuidBytes other = {0x0102030A, 0xB0C0, 0xD0E0, {0xF1, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xFF}};
  EXPECT_EQ(FormatName(&mediaTime), "Time");
  EXPECT_EQ(FormatName(&frame), "Frame");
  EXPECT_EQ(FormatName(&field), "Field");
  EXPECT_EQ(FormatName(&null), "None");  // TIME_FORMAT_NONE is the null identifier
  EXPECT_EQ(FormatName(&kTimeFormatAbsolute), "Absolute time");
  EXPECT_EQ(FormatName(&kMediaSubtypeUdpStream), "MEDIASUBTYPE_UDPStream");
  EXPECT_EQ(FormatName(nullptr), "(NULL)");
  const std::string braces = FormatName(&other);
  EXPECT_EQ(braces, "{0102030A-B0C0-D0E0-F102-0304050607FF}");
  EXPECT_EQ(braces.size(), 38u);
}

TEST(TraceSwitch, FlagsInDecimalOrHex) {
  EXPECT_EQ(ParseTraceFlags(L"15"), 15u);
  EXPECT_EQ(ParseTraceFlags(L" 0x4f "), 0x4Fu);
  EXPECT_EQ(ParseTraceFlags(L"0XFFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseTraceFlags(L"0x100000000"), std::nullopt);
  EXPECT_EQ(ParseTraceFlags(L""), std::nullopt);
  EXPECT_EQ(ParseTraceFlags(L"0x"), std::nullopt);
  EXPECT_EQ(ParseTraceFlags(L"12ab"), std::nullopt);
  EXPECT_EQ(ParseTraceFlags(L"on"), std::nullopt);
  EXPECT_EQ(ParseTraceFlags(nullptr), std::nullopt);
}

}  // namespace
}  // namespace ovl::diag

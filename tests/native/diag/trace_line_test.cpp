// Building trace lines: prefixes, their limits, and time stamps with pauses.
#include <gtest/gtest.h>

#include <string>

#include "diag/core/line_ends.h"
#include "diag/core/trace_flags.h"
#include "persistence/core/rk_buffer.h"
#include "diag/core/trace_line.h"
#include "diag/core/trace_stamp.h"

namespace ovl::diag {
namespace {

std::string Build(const std::string& text, const LineDecoration& d, std::size_t cap = kTraceLineCapacity) {
  std::string out(cap, '?');
  const std::size_t n = BuildTraceLine(text.c_str(), d, out.data(), cap);
  EXPECT_EQ(out[n], '\0');
  out.resize(n);
  return out;
}

LineDecoration Everything() {
  LineDecoration d;
  d.stamp = "12:34:56.789: ";
  d.withHandleCount = true;
  d.handleCount = 42;
  d.withThreadId = true;
  d.threadId = 0x1a2b;
  return d;
}

TEST(TraceLine, OnlyTextsStartingWithALineFeedGetAPrefix) {
  EXPECT_EQ(Build("Filter Pause\n", Everything()), "Filter Pause\n");
  EXPECT_EQ(Build("", Everything()), "");
  EXPECT_EQ(Build("\nVOvly.Stop()", LineDecoration{}), "\r\nVOvly.Stop()");
  EXPECT_EQ(Build("\n\nx", Everything()), "\r\n\r\n12:34:56.789:   42 00001a2b: x");
  LineDecoration paused = Everything();
  paused.pause = true;
  paused.withHandleCount = false;
  EXPECT_EQ(Build("\nx", paused), "\r\n\n12:34:56.789: 00001a2b: x");
}

TEST(TraceLine, PrefixKeepsToFiftyCharactersWithTheStampWhole) {
  // Without decorations 25 CR LF pairs fit; later line feeds are dropped.
  std::string pairs;
  for (int i = 0; i < 25; ++i) pairs += "\r\n";
  EXPECT_EQ(Build(std::string(30, '\n') + "x", LineDecoration{}), pairs + "x");

  // With every part shown the stamp, count and id stay whole and only the
  // line breaks that still fit are kept.
  LineDecoration d = Everything();
  d.pause = true;
  d.stamp = "+24d 23:59:59.999: ";
  d.handleCount = -2147483647 - 1;
  const std::string line = Build(std::string(1000, '\n') + "end", d);
  const std::string tail = "\n+24d 23:59:59.999: -2147483648 00001a2b: end";
  ASSERT_GE(line.size(), tail.size());
  EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
  EXPECT_LE(line.size() - 3, kTracePrefixLimit);
  EXPECT_EQ(line.find_first_not_of("\r\n"), line.size() - tail.size() + 1);
}

TEST(TraceLine, LongTextsAreCutToTheBuffer) {
  const std::string text = "\n" + std::string(5000, 'a');
  const std::string line = Build(text, Everything());
  EXPECT_EQ(line.size(), kTraceLineCapacity - 1);
  EXPECT_EQ(line.substr(0, 2), "\r\n");
  EXPECT_EQ(Build("abcdef", LineDecoration{}, 4), "abc");
  EXPECT_EQ(Build("\nabcdef", Everything(), 8), "\r\n12:34");
}

TEST(TraceStamp, FormatsTheTimeOfDayAndWholeDaysAfterTheFirst) {
  char text[24];
  FormatStamp(0, text);
  EXPECT_STREQ(text, "00:00:00.000: ");
  FormatStamp(((13 * 60 + 5) * 60 + 9) * 1000u + 7, text);
  EXPECT_STREQ(text, "13:05:09.007: ");
  FormatStamp(kMsPerDay, text);
  EXPECT_STREQ(text, "00:00:00.000: ");
  FormatStamp(kMsPerDay + 1, text);
  EXPECT_STREQ(text, "+1d 00:00:00.001: ");
  // The stopwatch stops at 0x7FFFFFFF ms: the latest stamp there can be.
  FormatStamp(kMsPerDay - 1 + 0x7FFFFFFFull, text);
  EXPECT_STREQ(text, "+25d 20:31:23.646: ");
}

TEST(TraceStamp, ABlankLineMarksMoreThanATenthOfASecond) {
  StampSequence stamps;
  const std::uint32_t base = 23 * 3600000u + 59 * 60000u + 59 * 1000u + 950;  // 23:59:59.950
  Stamp first = stamps.Next(base, 0);
  EXPECT_FALSE(first.pause);
  EXPECT_STREQ(first.text, "23:59:59.950: ");
  Stamp exactlyATenth = stamps.Next(base, 100);
  EXPECT_FALSE(exactlyATenth.pause);
  EXPECT_STREQ(exactlyATenth.text, "+1d 00:00:00.050: ");
  Stamp later = stamps.Next(base, 201);
  EXPECT_TRUE(later.pause);
  EXPECT_STREQ(later.text, "+1d 00:00:00.151: ");
  EXPECT_FALSE(stamps.Next(base, 250).pause);
}

TEST(LineEnds, EveryLineEndBecomesCrLf) {
  CBuffer buffer;
  const std::string text = "a\nb\rc\r\nd\n\r\n\re";
  ASSERT_TRUE(AppendWithCrLf(buffer, text.data(), text.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), buffer.Length()),
            "a\r\nb\r\nc\r\nd\r\n\r\n\r\ne");
  ASSERT_TRUE(AppendWithCrLf(buffer, "\r", 1));  // a CR at the very end stands alone
  ASSERT_TRUE(AppendWithCrLf(buffer, "\n", 1));
  EXPECT_EQ(buffer.Length(), 21u);  // two more CR LF pairs
}

}  // namespace
}  // namespace ovl::diag

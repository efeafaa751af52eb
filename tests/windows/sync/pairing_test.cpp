// Which second-input frame each main frame is composed with, for scripted
// streams at different rates and with awkward times, read from the output
// pictures; and two overlay graphs streaming at once in one process.
#include <gtest/gtest.h>

#include "streaming/mux_dynamic_output_pin.h"
#include "tests/windows/sync/sync_rig.h"

namespace ovl {
namespace {

using namespace ovl::testing;

constexpr REFERENCE_TIME kMainFrame = 400000;

std::vector<TimeSpan> Spans(std::vector<TimeSpan> spans, REFERENCE_TIME shift, bool stopIsStart = false) {
  for (TimeSpan& s : spans) s = {s.start + shift, stopIsStart ? s.start + shift : s.stop + shift};
  return spans;
}

struct PairingCase {
  const char* name;
  std::vector<TimeSpan> main;
  std::vector<TimeSpan> second;
  REFERENCE_TIME secondFrameDuration;
  std::vector<LONGLONG> expected;  // written out by hand from the coverage rule
  bool untimedSecond = false;
};

void PrintTo(const PairingCase& c, std::ostream* os) { *os << c.name; }

const PairingCase kCases[] = {
    // Each second frame serves two main frames, then is let go.
    {"HalfRate", FrameSpans(0, 8, kMainFrame), FrameSpans(0, 5, 800000), 800000, {0, 0, 1, 1, 2, 2, 3, 3}},
    // Every other second frame ends exactly where a main frame starts: it
    // does not cover it and is let go unseen.
    {"TwiceRate", FrameSpans(0, 6, kMainFrame), FrameSpans(0, 13, 200000), 200000, {0, 2, 4, 6, 8, 10}},
    // Only the end counts: a second frame that starts after a main frame
    // still covers it.
    {"EqualRatesOffset", FrameSpans(0, 6, kMainFrame), Spans(FrameSpans(0, 7, kMainFrame), 200000), kMainFrame,
     {0, 0, 1, 2, 3, 4}},
    {"EndsAtMainStart", FrameSpans(0, 3, kMainFrame), FrameSpans(0, 4, kMainFrame), kMainFrame, {0, 1, 2}},
    // A second frame whose stop equals its start lasts the input's frame duration.
    {"StopEqualsStart", FrameSpans(0, 6, kMainFrame), Spans(FrameSpans(0, 4, 800000), 0, true), 800000,
     {0, 0, 1, 1, 2, 2}},
    // Untimed second frames are shown once each.
    {"UntimedSecond", FrameSpans(0, 4, kMainFrame), FrameSpans(0, 5, kMainFrame), kMainFrame, {0, 1, 2, 3}, true},
};

class Pairing : public ::testing::TestWithParam<PairingCase> {
 protected:
  ComApartment com;
};

TEST_P(Pairing, EachMainFrameShowsTheCoveringSecondFrame) {
  const PairingCase& c = GetParam();
  if (!c.untimedSecond) {
    ASSERT_EQ(c.expected, ExpectedPairing(c.main, c.second, c.secondFrameDuration)) << "the table itself";
  }
  {
    OverlayRig rig;
    rig.second->SetFrameDuration(c.secondFrameDuration);
    ASSERT_TRUE(rig.Connect());
    for (std::size_t i = 0; i < c.main.size(); ++i) {
      rig.main->Queue(rig.Sample(kMainTag, i, c.main[i].start, c.main[i].stop));
    }
    for (std::size_t j = 0; j < c.second.size(); ++j) {
      ScriptedSample s = rig.Sample(kSecondTag, j, c.second[j].start, c.second[j].stop);
      s.hasTime = !c.untimedSecond;
      rig.second->Queue(s);
    }
    rig.main->QueueEndOfStream();
    rig.second->QueueEndOfStream();
    ASSERT_TRUE(RunToCompletion(rig.graph.Get()));
    ExpectPairing(rig.ShownFrames(), c.expected);
  }
  EXPECT_TRUE(NoLiveObjects());
}

INSTANTIATE_TEST_SUITE_P(Rates, Pairing, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PairingCase>& info) { return info.param.name; });

// The frame shows the second-input sample it was paired with even when input
// 1 lets go of that sample before the picture is drawn: here the main thread
// waits for an output buffer (the sink keeps all of them) between pairing and
// drawing, and a flush of the second input meanwhile releases the sample.
TEST(PairedSample, IsDrawnEvenIfTheSecondInputLetsGo) {
  ComApartment com;
  Watchdog watchdog;
  {
    OverlayRig rig;
    ASSERT_TRUE(rig.Connect());
    ALLOCATOR_PROPERTIES props{};
    ASSERT_EQ(S_OK, rig.filter->OutputPin()->Allocator()->GetProperties(&props));
    const LONG n = props.cBuffers;
    ASSERT_TRUE(SUCCEEDED(rig.control->Run()));
    rig.sink.KeepSamples(static_cast<std::size_t>(n));
    // Second frame 0 covers main frames 0 .. n-1; second frame 1 covers main frame n.
    rig.second->Queue(rig.Sample(kSecondTag, 0, 0, n * kMainFrame));
    rig.second->Queue(rig.Sample(kSecondTag, 1, n * kMainFrame, (n + 1) * kMainFrame));
    for (LONG i = 0; i <= n; ++i) rig.main->Queue(rig.Sample(kMainTag, i, i * kMainFrame, (i + 1) * kMainFrame));
    ASSERT_TRUE(rig.main->WaitForResults(static_cast<std::size_t>(n), 10000));
    ASSERT_FALSE(rig.main->WaitForResults(static_cast<std::size_t>(n) + 1, 300)) << "main frame n waits for a buffer";
    EXPECT_EQ(S_OK, watchdog.Guard("flush of the second input", [&] { return rig.second->Flush(); }));
    rig.sink.ReleaseKept();
    ASSERT_TRUE(rig.main->WaitForResults(static_cast<std::size_t>(n) + 1, 10000));
    const auto shown = rig.ShownFrames();
    ASSERT_EQ(static_cast<std::size_t>(n) + 1, shown.size());
    EXPECT_EQ(n, shown.back().main);
    EXPECT_EQ(1, shown.back().second) << "paired with second frame 1, drawn with it";
    watchdog.Guard("Stop", [&] { return rig.control->Stop(); });
  }
  EXPECT_TRUE(NoLiveObjects());
}

// Each filter has its own pair of events: two graphs streaming at the same
// time in one process pace their own inputs only.
TEST(TwoGraphs, StreamAtOnceEachPairedCorrectly) {
  ComApartment com;
  {
    const REFERENCE_TIME secondFrame[2] = {800000, 150000};
    const LONGLONG secondFrames[2] = {31, 161};
    OverlayRig rigs[2];
    for (int g = 0; g < 2; ++g) {
      rigs[g].main->SetStream({kMainFrame, 60, kMainTag});
      rigs[g].second->SetStream({secondFrame[g], secondFrames[g], kSecondTag});
      ASSERT_TRUE(rigs[g].Connect());
    }
    for (OverlayRig& rig : rigs) ASSERT_TRUE(SUCCEEDED(rig.control->Run()));
    for (int g = 0; g < 2; ++g) {
      SCOPED_TRACE(g);
      long code = 0;
      EXPECT_EQ(S_OK, rigs[g].events->WaitForCompletion(20000, &code));
      EXPECT_EQ(EC_COMPLETE, code);
      rigs[g].control->Stop();
      ExpectPairing(rigs[g].ShownFrames(), ExpectedPairing(FrameSpans(0, 60, kMainFrame),
                                                           FrameSpans(0, secondFrames[g], secondFrame[g]),
                                                           secondFrame[g]));
    }
  }
  EXPECT_TRUE(NoLiveObjects());
}

}  // namespace
}  // namespace ovl

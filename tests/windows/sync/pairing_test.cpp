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

struct PairingCase {
  const char* name;
  std::vector<TimeSpan> main;
  std::vector<TimeSpan> second;  // an empty span list of times: untimed samples (see untimedSecond)
  REFERENCE_TIME secondFrameDuration;
  std::vector<LONGLONG> expected;  // written out by hand from the coverage rule
  bool untimedSecond = false;
};

void PrintTo(const PairingCase& c, std::ostream* os) { *os << c.name; }

std::vector<TimeSpan> StopEqualsStart(int count, REFERENCE_TIME step) {
  std::vector<TimeSpan> spans;
  for (int i = 0; i < count; ++i) spans.push_back({i * step, i * step});
  return spans;
}

std::vector<TimeSpan> Shifted(std::vector<TimeSpan> spans, REFERENCE_TIME by) {
  for (TimeSpan& s : spans) s.start += by, s.stop += by;
  return spans;
}

const PairingCase kCases[] = {
    // Each second frame serves two main frames, then is let go.
    {"HalfRate", FrameSpans(0, 8, kMainFrame), FrameSpans(0, 5, 800000), 800000, {0, 0, 1, 1, 2, 2, 3, 3}},
    // Every other second frame ends exactly where a main frame starts: it
    // does not cover it and is let go unseen.
    {"TwiceRate", FrameSpans(0, 6, kMainFrame), FrameSpans(0, 13, 200000), 200000, {0, 2, 4, 6, 8, 10}},
    // Only the end counts: a second frame that starts after a main frame
    // still covers it.
    {"EqualRatesOffset", FrameSpans(0, 6, kMainFrame), Shifted(FrameSpans(0, 7, kMainFrame), 200000), kMainFrame,
     {0, 0, 1, 2, 3, 4}},
    {"EndsAtMainStart", FrameSpans(0, 3, kMainFrame), {{0, 400000}, {400000, 800000}, {800000, 1200000}, {1200000, 1600000}},
     kMainFrame, {0, 1, 2}},
    // A second frame whose stop equals its start lasts the input's frame duration.
    {"StopEqualsStart", FrameSpans(0, 6, kMainFrame), StopEqualsStart(4, 800000), 800000, {0, 0, 1, 1, 2, 2}},
    // Untimed second frames are shown once each.
    {"UntimedSecond", FrameSpans(0, 4, kMainFrame), FrameSpans(0, 5, kMainFrame), kMainFrame, {0, 1, 2, 3}, true},
};

class Pairing : public ::testing::TestWithParam<PairingCase> {
 protected:
  ComScope com;
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
      rig.main->Queue(rig.Sample(kMainTag, static_cast<LONGLONG>(i), c.main[i].start, c.main[i].stop));
    }
    for (std::size_t j = 0; j < c.second.size(); ++j) {
      ScriptedSample s = rig.Sample(kSecondTag, static_cast<LONGLONG>(j), c.second[j].start, c.second[j].stop);
      s.hasTime = !c.untimedSecond;
      rig.second->Queue(s);
    }
    rig.main->QueueEndOfStream();
    rig.second->QueueEndOfStream();
    ASSERT_TRUE(RunToCompletion(rig.graph.Get()));

    const auto shown = rig.ShownFrames();
    ASSERT_EQ(c.main.size(), shown.size()) << "one output frame per main frame";
    for (std::size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(static_cast<LONGLONG>(i), shown[i].main) << "output frame " << i;
      EXPECT_EQ(c.expected[i], shown[i].second) << "second-input frame under main frame " << i;
    }
  }
  EXPECT_TRUE(NoLiveObjects());
}

INSTANTIATE_TEST_SUITE_P(Rates, Pairing, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PairingCase>& info) { return info.param.name; });

// Whole pictures, not only the probe pixels: the paired frames composed by
// the literal reference compositor.
TEST(PairingPictures, HalfRateFramesEqualTheReference) {
  ComScope com;
  {
    OverlayRig rig(24, 10);
    rig.second->SetFrameDuration(800000);
    ASSERT_TRUE(rig.Connect());
    SettingsAccess& s = rig.filter->Access();
    s.PutOpacity(LAYERTYPE_VIDEO2, 40);
    s.PutFlag(LAYERTYPE_VIDEO2, &LayerSettings::EnableOpacity, kVariantTrue);
    std::vector<Frame> main, second;
    for (int i = 0; i < 6; ++i) {
      main.push_back(PatternPicture(24, 10, i));
      ScriptedSample m;
      m.start = i * kMainFrame;
      m.stop = m.start + kMainFrame;
      m.pixels = main.back();
      rig.main->Queue(m);
    }
    for (int j = 0; j < 4; ++j) {
      second.push_back(PatternPicture(24, 10, 50 + j));
      ScriptedSample m;
      m.start = j * 800000;
      m.stop = m.start + 800000;
      m.pixels = second.back();
      rig.second->Queue(m);
    }
    rig.main->QueueEndOfStream();
    rig.second->QueueEndOfStream();
    ASSERT_TRUE(RunToCompletion(rig.graph.Get()));
    const auto frames = rig.sink.Frames();
    ASSERT_EQ(main.size(), frames.size());
    const std::vector<const Frame*> held = {&second[0], &second[0], &second[1], &second[1], &second[2], &second[2]};
    const auto expected = ReferenceFrames(rig.filter->Settings(), 24, 10, 24, 10, main, 24, 10, held);
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(expected[i], frames[i].bytes) << "frame " << i;
  }
  EXPECT_TRUE(NoLiveObjects());
}

// The frame shows the second-input sample it was paired with even when input
// 1 lets go of that sample before the picture is drawn: here the main thread
// waits for an output buffer (the sink keeps all of them) between pairing and
// drawing, and a flush of the second input meanwhile releases the sample.
TEST(PairedSample, IsDrawnEvenIfTheSecondInputLetsGo) {
  ComScope com;
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
  ComScope com;
  {
    struct Setup {
      REFERENCE_TIME main, second;
      LONGLONG mainFrames, secondFrames;
    };
    const Setup setups[2] = {{400000, 800000, 60, 31}, {400000, 150000, 60, 161}};
    OverlayRig rigs[2];
    for (int g = 0; g < 2; ++g) {
      rigs[g].main->SetStream({setups[g].main, setups[g].mainFrames, kMainTag});
      rigs[g].second->SetStream({setups[g].second, setups[g].secondFrames, kSecondTag});
      ASSERT_TRUE(rigs[g].Connect());
    }
    for (OverlayRig& rig : rigs) ASSERT_TRUE(SUCCEEDED(rig.control->Run()));
    for (OverlayRig& rig : rigs) {
      long code = 0;
      EXPECT_EQ(S_OK, rig.events->WaitForCompletion(20000, &code));
      EXPECT_EQ(EC_COMPLETE, code);
      rig.control->Stop();
    }
    for (int g = 0; g < 2; ++g) {
      const auto expected = ExpectedPairing(FrameSpans(0, setups[g].mainFrames, setups[g].main),
                                            FrameSpans(0, setups[g].secondFrames, setups[g].second), setups[g].second);
      const auto shown = rigs[g].ShownFrames();
      ASSERT_EQ(static_cast<std::size_t>(setups[g].mainFrames), shown.size()) << "graph " << g;
      for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(static_cast<LONGLONG>(i), shown[i].main) << "graph " << g << " frame " << i;
        EXPECT_EQ(expected[i], shown[i].second) << "graph " << g << " frame " << i;
      }
    }
  }
  EXPECT_TRUE(NoLiveObjects());
}

}  // namespace
}  // namespace ovl

// Streaming threads parked inside the inputs: the main input waiting for a
// covering second-input frame, the second input holding its frame, or the
// second holding while the main thread is blocked downstream in the paused
// renderer. A stop, a flush of either input, an end of stream on the other
// input or a seek through the graph releases them: every call returns, the
// graph stops and nothing leaks.
#include <gtest/gtest.h>

#include "tests/windows/sync/sync_rig.h"

namespace ovl {
namespace {

using namespace ovl::testing;

enum class Parked { MainWaits, SecondHolds, BothBusy };
enum class Action { Stop, FlushMain, FlushSecond, EndOtherInput, Seek };

struct ParkedCase {
  const char* name;
  Parked parked;
  Action action;
  // What the parked Receive returns, or kAnySuccess (the renderer's
  // answer, or a seek's drop or flush).
  HRESULT parkedResult;
};

constexpr HRESULT kAnySuccess = 2;  // no Receive returns it

void PrintTo(const ParkedCase& c, std::ostream* os) { *os << c.name; }

const ParkedCase kCases[] = {
    {"MainWaits_Stop", Parked::MainWaits, Action::Stop, S_OK},
    {"MainWaits_FlushMain", Parked::MainWaits, Action::FlushMain, S_FALSE},
    {"MainWaits_FlushSecond", Parked::MainWaits, Action::FlushSecond, S_FALSE},
    {"MainWaits_SecondEnds", Parked::MainWaits, Action::EndOtherInput, S_OK},
    {"MainWaits_Seek", Parked::MainWaits, Action::Seek, kAnySuccess},
    {"SecondHolds_Stop", Parked::SecondHolds, Action::Stop, S_OK},
    {"SecondHolds_FlushMain", Parked::SecondHolds, Action::FlushMain, S_FALSE},
    {"SecondHolds_FlushSecond", Parked::SecondHolds, Action::FlushSecond, S_FALSE},
    {"SecondHolds_MainEnds", Parked::SecondHolds, Action::EndOtherInput, S_OK},
    {"SecondHolds_Seek", Parked::SecondHolds, Action::Seek, kAnySuccess},
    {"BothBusy_Stop", Parked::BothBusy, Action::Stop, kAnySuccess},
    {"BothBusy_FlushMain", Parked::BothBusy, Action::FlushMain, kAnySuccess},
    {"BothBusy_FlushSecond", Parked::BothBusy, Action::FlushSecond, kAnySuccess},
    {"BothBusy_Seek", Parked::BothBusy, Action::Seek, kAnySuccess},
};

class ParkedThreads : public ::testing::TestWithParam<ParkedCase> {
 protected:
  ComScope com;
  Watchdog watchdog;
};

TEST_P(ParkedThreads, AreReleasedAndTheGraphStops) {
  const ParkedCase& c = GetParam();
  {
    OverlayRig rig;
    rig.main->EnableSeeking();
    rig.second->EnableSeeking();
    ASSERT_TRUE(rig.Connect());
    constexpr REFERENCE_TIME kFrame = 400000;

    // Park the threads; the ones that park never report a result.
    std::vector<CScriptedSource*> parked;
    if (c.parked == Parked::MainWaits) {
      rig.main->Queue(rig.Sample(kMainTag, 0, 0, kFrame));
      parked = {rig.main};
    } else if (c.parked == Parked::SecondHolds) {
      rig.second->Queue(rig.Sample(kSecondTag, 0, 0, kFrame));
      parked = {rig.second};
    } else {
      rig.second->Queue(rig.Sample(kSecondTag, 0, 0, 100 * kFrame));  // covers every main frame
      rig.main->Queue(rig.Sample(kMainTag, 0, 0, kFrame));
      parked = {rig.main, rig.second};
    }
    const bool running = c.parked != Parked::BothBusy;  // paused, the renderer holds the main thread
    ASSERT_TRUE(SUCCEEDED(watchdog.Guard("start", [&] { return running ? rig.control->Run() : rig.control->Pause(); })));
    for (CScriptedSource* source : parked) ASSERT_FALSE(source->WaitForResults(1, 300)) << "the thread is not parked";

    switch (c.action) {
      case Action::Stop:
        EXPECT_EQ(S_OK, watchdog.Guard("Stop while parked", [&] { return rig.control->Stop(); }));
        break;
      case Action::FlushMain:
        EXPECT_EQ(S_OK, watchdog.Guard("flush of the main input", [&] { return rig.main->Flush(); }));
        break;
      case Action::FlushSecond:
        EXPECT_EQ(S_OK, watchdog.Guard("flush of the second input", [&] { return rig.second->Flush(); }));
        break;
      case Action::EndOtherInput:
        (c.parked == Parked::MainWaits ? rig.second : rig.main)->QueueEndOfStream();
        break;
      case Action::Seek: {
        LONGLONG to = 8 * kFrame;
        EXPECT_TRUE(SUCCEEDED(watchdog.Guard("seek while parked", [&] {
          return rig.seeking->SetPositions(&to, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        })));
        EXPECT_EQ(1u, rig.main->SeekCalls().size()) << "the seek reached the main source";
        EXPECT_EQ(1u, rig.second->SeekCalls().size()) << "the seek reached the second source";
        break;
      }
    }
    for (CScriptedSource* source : parked) {
      ASSERT_TRUE(source->WaitForResults(1, 10000)) << "the parked Receive did not return";
      const HRESULT hr = source->Results()[0];
      if (c.parkedResult == kAnySuccess) {
        EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
      } else {
        EXPECT_EQ(c.parkedResult, hr) << (source == rig.main ? "main" : "second");
      }
    }
    if (c.action == Action::EndOtherInput && c.parked == Parked::MainWaits) {
      EXPECT_EQ(1u, rig.sink.Frames().size()) << "the main frame in hand is composed alone";
    }
    if (c.action == Action::EndOtherInput && c.parked == Parked::SecondHolds) {
      // Nobody will use later second-input frames: they go back at once.
      rig.second->Queue(rig.Sample(kSecondTag, 1, kFrame, 2 * kFrame));
      EXPECT_TRUE(rig.second->WaitForResults(2, 10000));
    }
    EXPECT_EQ(S_OK, watchdog.Guard("final Stop", [&] { return rig.control->Stop(); }));
    OAFilterState state = State_Running;
    EXPECT_EQ(S_OK, rig.control->GetState(1000, &state));
    EXPECT_EQ(State_Stopped, state);
  }
  EXPECT_TRUE(NoLiveObjects());
}

INSTANTIATE_TEST_SUITE_P(Release, ParkedThreads, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ParkedCase>& info) { return info.param.name; });

}  // namespace
}  // namespace ovl

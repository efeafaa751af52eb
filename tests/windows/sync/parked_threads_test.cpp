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
};

void PrintTo(const ParkedCase& c, std::ostream* os) { *os << c.name; }

const ParkedCase kCases[] = {
    {"MainWaits_Stop", Parked::MainWaits, Action::Stop},
    {"MainWaits_FlushMain", Parked::MainWaits, Action::FlushMain},
    {"MainWaits_FlushSecond", Parked::MainWaits, Action::FlushSecond},
    {"MainWaits_SecondEnds", Parked::MainWaits, Action::EndOtherInput},
    {"MainWaits_Seek", Parked::MainWaits, Action::Seek},
    {"SecondHolds_Stop", Parked::SecondHolds, Action::Stop},
    {"SecondHolds_FlushMain", Parked::SecondHolds, Action::FlushMain},
    {"SecondHolds_FlushSecond", Parked::SecondHolds, Action::FlushSecond},
    {"SecondHolds_MainEnds", Parked::SecondHolds, Action::EndOtherInput},
    {"SecondHolds_Seek", Parked::SecondHolds, Action::Seek},
    {"BothBusy_Stop", Parked::BothBusy, Action::Stop},
    {"BothBusy_FlushMain", Parked::BothBusy, Action::FlushMain},
    {"BothBusy_FlushSecond", Parked::BothBusy, Action::FlushSecond},
    {"BothBusy_Seek", Parked::BothBusy, Action::Seek},
};

class ParkedThreads : public ::testing::TestWithParam<ParkedCase> {
 protected:
  ComApartment com;
  Watchdog watchdog;
};

TEST_P(ParkedThreads, AreReleasedAndTheGraphStops) {
  const ParkedCase& c = GetParam();
  constexpr REFERENCE_TIME kFrame = 400000;
  {
    OverlayRig rig;
    rig.main->EnableSeeking();
    rig.second->EnableSeeking();
    ASSERT_TRUE(rig.Connect());

    // Park the threads; the ones that park never report a result. Both busy:
    // the second frame covers every main frame, and paused, the renderer
    // holds the main thread.
    if (c.parked != Parked::MainWaits) {
      rig.second->Queue(rig.Sample(kSecondTag, 0, 0, (c.parked == Parked::BothBusy ? 100 : 1) * kFrame));
    }
    if (c.parked != Parked::SecondHolds) rig.main->Queue(rig.Sample(kMainTag, 0, 0, kFrame));
    std::vector<CScriptedSource*> parked;
    if (c.parked != Parked::SecondHolds) parked.push_back(rig.main);
    if (c.parked != Parked::MainWaits) parked.push_back(rig.second);
    const bool running = c.parked != Parked::BothBusy;
    const HRESULT started = watchdog.Guard("start", [&] { return running ? rig.control->Run() : rig.control->Pause(); });
    ASSERT_TRUE(SUCCEEDED(started));
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
      case Action::Seek:
        EXPECT_TRUE(SUCCEEDED(
            watchdog.Guard("seek while parked", [&] { return SeekTo(rig.seeking.Get(), 8 * kFrame); })));
        EXPECT_EQ(1u, rig.main->SeekCalls().size()) << "the seek reached the main source";
        EXPECT_EQ(1u, rig.second->SeekCalls().size()) << "the seek reached the second source";
        break;
    }
    // What the parked Receive returns: S_FALSE when flushed, else S_OK; any
    // success for a seek (a drop or a flush) or from the paused renderer.
    const bool flushed = c.action == Action::FlushMain || c.action == Action::FlushSecond;
    const bool anySuccess = c.action == Action::Seek || c.parked == Parked::BothBusy;
    for (CScriptedSource* source : parked) {
      ASSERT_TRUE(source->WaitForResults(1, 10000)) << "the parked Receive did not return";
      const HRESULT hr = source->Results()[0];
      if (anySuccess) EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
      else EXPECT_EQ(flushed ? S_FALSE : S_OK, hr) << (source == rig.main ? "main" : "second");
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

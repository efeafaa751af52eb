// Randomised state changes, seeks and flushes while both inputs stream at
// different rates. A watchdog ends the run, naming the call, when anything
// takes more than a few seconds; afterwards a clean run still pairs every
// frame correctly and nothing leaks. Each frame's strips (one row each) are
// shared by three threads, so stopping, flushing and seeking meet helpers
// at work.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "tests/windows/sync/sync_rig.h"

namespace ovl {
namespace {

using namespace ovl::testing;

constexpr REFERENCE_TIME kMainFrame = 400000;
constexpr REFERENCE_TIME kSecondFrame = 250000;
constexpr LONGLONG kMainFrames = 1000000;  // both streams last 40000 s
constexpr LONGLONG kSecondFrames = 1600000;
constexpr int kCycles = 1000;

TEST(SyncStress, RandomCyclesNeverHang) {
  ComApartment com;
  Watchdog watchdog(5000);
  {
    OverlayRig rig;
    rig.filter->FixStripSharing(3, 1);
    rig.main->SetStream({kMainFrame, kMainFrames, kMainTag});
    rig.second->SetStream({kSecondFrame, kSecondFrames, kSecondTag});
    rig.main->EnableSeeking();
    rig.second->EnableSeeking();
    ASSERT_TRUE(rig.Connect());
    ASSERT_EQ(3, rig.filter->Compositor().Workers());

    // OVL_STRESS_SEED repeats a run.
    const char* seedText = std::getenv("OVL_STRESS_SEED");
    const unsigned seed = seedText != nullptr ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 20240613u;
    std::mt19937 random(seed);
    const char* const kOps[] = {"Run", "Pause", "Stop", "seek", "seek near the end", "flush main", "flush second"};
    int counts[7] = {};
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      const int op = static_cast<int>(random() % 7);
      ++counts[op];
      LONGLONG to = 0;
      HRESULT hr = S_OK;
      switch (op) {
        case 0: hr = watchdog.Guard(kOps[op], [&] { return rig.control->Run(); }); break;
        case 1: hr = watchdog.Guard(kOps[op], [&] { return rig.control->Pause(); }); break;
        case 2: hr = watchdog.Guard(kOps[op], [&] { return rig.control->Stop(); }); break;
        case 3:
        case 4:
          // Near the end both streams finish: end of stream on both inputs.
          to = op == 3 ? static_cast<LONGLONG>(random() % 1000) * kMainFrame : (kMainFrames - 3) * kMainFrame;
          hr = watchdog.Guard(kOps[op], [&] { return SeekTo(rig.seeking.Get(), to); });
          break;
        case 5: hr = watchdog.Guard(kOps[op], [&] { return rig.main->Flush(); }); break;
        case 6: hr = watchdog.Guard(kOps[op], [&] { return rig.second->Flush(); }); break;
      }
      ASSERT_TRUE(SUCCEEDED(hr)) << kOps[op] << " in cycle " << cycle << ": " << std::hex << hr;
      Sleep(random() % 4);
    }
    ASSERT_EQ(S_OK, watchdog.Guard("Stop", [&] { return rig.control->Stop(); }));
    const LONGLONG delivered = rig.main->StreamFramesDelivered() + rig.second->StreamFramesDelivered();
    std::printf("sync stress (seed %u): %d cycles (", seed, kCycles);
    for (int i = 0; i < 7; ++i) std::printf("%s%s %d", i ? ", " : "", kOps[i], counts[i]);
    std::printf("), %lld source frames, %zu output frames, hangs: 0\n", static_cast<long long>(delivered),
                rig.sink.Frames().size());
    EXPECT_GT(rig.sink.Frames().size(), 0u) << "frames were composed during the run";

    // A clean run from the start to 40 main frames pairs exactly. (Wine's
    // graph keeps the completion of an earlier end of stream across Stop and
    // Run, so the sources tell when this run is over.)
    LONGLONG from = 0, stop = 40 * kMainFrame;
    ASSERT_EQ(S_OK, watchdog.Guard("final seek", [&] {
      return rig.seeking->SetPositions(&from, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning);
    }));
    const std::size_t before = rig.sink.Frames().size();
    ASSERT_TRUE(SUCCEEDED(watchdog.Guard("final Run", [&] { return rig.control->Run(); })));
    EXPECT_TRUE(rig.main->WaitUntilStreamEnded(20000) && rig.second->WaitUntilStreamEnded(20000));
    watchdog.Guard("Stop", [&] { return rig.control->Stop(); });
    ExpectPairing(rig.ShownFrames(before),
                  ExpectedPairing(FrameSpans(0, 40, kMainFrame), FrameSpans(0, 64, kSecondFrame), kSecondFrame));
  }
  EXPECT_TRUE(NoLiveObjects());
}

}  // namespace
}  // namespace ovl

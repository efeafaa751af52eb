// Seeking through the overlay filter's output pin: queries answered by the
// main input's upstream, positions and time formats sent to both sources,
// the position change bracketed so that samples arriving meanwhile are
// dropped, and pass-throughs renewed when an input reconnects.
#include <gtest/gtest.h>

#include "tests/windows/sync/sync_rig.h"

namespace ovl {
namespace {

using namespace ovl::testing;

constexpr REFERENCE_TIME kMainFrame = 400000;

class OutputSeeking : public ::testing::Test {
 protected:
  void SetUp() override {
    rig->main->SetStream({kMainFrame, 50, kMainTag});  // 2 s
    rig->second->SetStream({333333, 30, kSecondTag});
    rig->main->EnableSeeking(true);  // knows frame numbers too
    rig->second->EnableSeeking(false);
    ASSERT_TRUE(rig->Connect());
    ASSERT_EQ(S_OK, rig->Output()->QueryInterface(IID_IMediaSeeking, seeking.PutVoid()));
    ASSERT_EQ(S_OK, rig->Output()->QueryInterface(IID_IMediaPosition, position.PutVoid()));
  }
  void TearDown() override {
    seeking.Reset();
    position.Reset();
    rig.reset();
    EXPECT_TRUE(NoLiveObjects());
  }

  ComApartment com;
  std::unique_ptr<OverlayRig> rig = std::make_unique<OverlayRig>();
  ovl::ComPtr<IMediaSeeking> seeking;
  ovl::ComPtr<IMediaPosition> position;
};

TEST_F(OutputSeeking, QueriesAnswerForTheMainSourcePositionsGoToBoth) {
  LONGLONG duration = 0;
  EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
  EXPECT_EQ(50 * kMainFrame, duration);
  DWORD capabilities = 0;
  EXPECT_EQ(S_OK, seeking->GetCapabilities(&capabilities));
  EXPECT_TRUE(capabilities & AM_SEEKING_CanSeekAbsolute);

  // The caller learns the main source's actual position; the second source
  // is asked for the position as requested, not the main source's answer.
  LONGLONG current = 12345678, stop = 15000000;
  EXPECT_EQ(S_OK, seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning | AM_SEEKING_ReturnTime, &stop,
                                        AM_SEEKING_AbsolutePositioning));
  EXPECT_EQ(30 * kMainFrame, current) << "the main source's frame start";
  ASSERT_EQ(1u, rig->main->SeekCalls().size());
  const auto secondCalls = rig->second->SeekCalls();
  ASSERT_EQ(1u, secondCalls.size());
  EXPECT_EQ(12345678, secondCalls[0].current);
  EXPECT_EQ(15000000, secondCalls[0].stop);
  EXPECT_EQ(static_cast<DWORD>(AM_SEEKING_AbsolutePositioning | AM_SEEKING_ReturnTime), secondCalls[0].currentFlags);
  LONGLONG now = 0, end = 0;
  EXPECT_EQ(S_OK, seeking->GetPositions(&now, &end));
  EXPECT_EQ(30 * kMainFrame, now);
  EXPECT_EQ(15000000, end);

  // Without a current position every source is still called, and whatever
  // they answer the call succeeds.
  EXPECT_EQ(S_OK, seeking->SetPositions(nullptr, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
  ASSERT_EQ(2u, rig->main->SeekCalls().size());
  ASSERT_EQ(2u, rig->second->SeekCalls().size());
  EXPECT_FALSE(rig->second->SeekCalls()[1].hasCurrent);

  // Only the main source counts frames: it switches, the second refuses, and
  // the refusal is the answer.
  EXPECT_EQ(E_INVALIDARG, seeking->SetTimeFormat(&TIME_FORMAT_FRAME));
  EXPECT_EQ(S_OK, seeking->IsUsingTimeFormat(&TIME_FORMAT_FRAME));
  EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
  EXPECT_EQ(50, duration) << "in frames";
  EXPECT_EQ(S_OK, seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME));
  EXPECT_EQ(S_OK, seeking->IsUsingTimeFormat(&TIME_FORMAT_MEDIA_TIME));
}

// IMediaPosition is the main source's alone; after the main input
// reconnects, IMediaSeeking answers E_NOTIMPL until it is queried again,
// while an IMediaPosition handed out earlier stays usable.
TEST_F(OutputSeeking, MediaPositionAndReconnection) {
  REFTIME length = 0;
  EXPECT_EQ(S_OK, position->get_Duration(&length));
  EXPECT_DOUBLE_EQ(2.0, length);
  EXPECT_EQ(S_OK, position->put_CurrentPosition(1.0));
  ASSERT_EQ(1u, rig->main->SeekCalls().size());
  EXPECT_EQ(10000000, rig->main->SeekCalls()[0].current);
  EXPECT_TRUE(rig->second->SeekCalls().empty()) << "the second source does not move";
  ovl::ComPtr<IPin> pin;
  EXPECT_EQ(S_OK, position->QueryInterface(IID_IPin, pin.PutVoid())) << "aggregated into the output pin";

  ovl::ComPtr<IPin> sourcePin = FindPin(rig->main, PINDIR_OUTPUT);
  ASSERT_EQ(S_OK, rig->graph->Disconnect(rig->Input(0).Get()));
  ASSERT_EQ(S_OK, rig->graph->Disconnect(sourcePin.Get()));
  ASSERT_EQ(S_OK, rig->graph->ConnectDirect(sourcePin.Get(), rig->Input(0).Get(), nullptr));
  LONGLONG duration = 0, to = 0;
  EXPECT_EQ(E_NOTIMPL, seeking->GetDuration(&duration));
  EXPECT_EQ(E_NOTIMPL, seeking->SetPositions(&to, AM_SEEKING_AbsolutePositioning, nullptr, 0));
  EXPECT_EQ(E_NOTIMPL, seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME));
  EXPECT_EQ(1u, rig->main->SeekCalls().size() + rig->second->SeekCalls().size());
  EXPECT_EQ(S_OK, position->get_Duration(&length));

  ovl::ComPtr<IMediaSeeking> again;
  ASSERT_EQ(S_OK, rig->Output()->QueryInterface(IID_IMediaSeeking, again.PutVoid()));
  EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
  EXPECT_EQ(50 * kMainFrame, duration);
}

// While the sources change position, samples that reach the inputs are
// dropped at once; afterwards the second input holds its samples again.
TEST(PositionChange, SamplesArrivingMeanwhileAreDropped) {
  ComApartment com;
  Watchdog watchdog;
  {
    OverlayRig rig;
    rig.main->EnableSeeking();
    rig.second->EnableSeeking();
    ASSERT_TRUE(rig.Connect());
    ASSERT_TRUE(SUCCEEDED(rig.control->Run()));
    // Called by the main source inside the position change, before it flushes.
    bool droppedMeanwhile = false;
    rig.main->SetSeekHook([&] {
      rig.second->Queue(rig.Sample(kSecondTag, 0, 0, kMainFrame));
      rig.main->Queue(rig.Sample(kMainTag, 0, 0, kMainFrame));
      droppedMeanwhile = rig.second->WaitForResults(1, 10000) && rig.main->WaitForResults(1, 10000) &&
                         rig.second->Results()[0] == S_OK && rig.main->Results()[0] == S_OK;
    });
    ovl::ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(S_OK, rig.Output()->QueryInterface(IID_IMediaSeeking, seeking.PutVoid()));
    EXPECT_EQ(S_OK, watchdog.Guard("seek", [&] { return SeekTo(seeking.Get(), 0); }));
    EXPECT_TRUE(droppedMeanwhile);
    EXPECT_TRUE(rig.sink.Frames().empty()) << "no frame composed during the position change";

    // The seek's flush leaves both events signalled: the first second-input
    // sample afterwards goes back at once, the next one is held.
    rig.second->Queue(rig.Sample(kSecondTag, 1, 0, kMainFrame));
    rig.second->Queue(rig.Sample(kSecondTag, 2, 0, kMainFrame));
    EXPECT_TRUE(rig.second->WaitForResults(2, 10000));
    EXPECT_FALSE(rig.second->WaitForResults(3, 300)) << "held until the main input uses it";
    EXPECT_EQ(S_OK, watchdog.Guard("Stop", [&] { return rig.control->Stop(); }));
    EXPECT_TRUE(rig.second->WaitForResults(3, 10000));
  }
  EXPECT_TRUE(NoLiveObjects());
}

}  // namespace
}  // namespace ovl

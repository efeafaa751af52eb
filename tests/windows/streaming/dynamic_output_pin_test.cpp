// The dynamic output pin's flow control in a real graph: a scripted source
// (whose output is a CDynamicOutputPin) feeding a probe. Blocking holds
// deliveries back, a block requested during a delivery waits for it, and
// stopping or flushing releases a streaming thread waiting for an unblock.
#include <gtest/gtest.h>

#include <thread>

#include "tests/windows/streaming/live_objects.h"
#include "tests/windows/streaming/probe_filter.h"
#include "tests/windows/support/com_ref.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl::testing {
namespace {

class Event {
 public:
  Event() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() { CloseHandle(m_handle); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  HANDLE Get() const { return m_handle; }
  bool IsSet(DWORD waitMs = 0) const { return WaitForSingleObject(m_handle, waitMs) == WAIT_OBJECT_0; }

 private:
  HANDLE m_handle;
};

class DynamicOutputPinTest : public LiveObjectsTest {
 protected:
  void SetUp() override {
    LiveObjectsTest::SetUp();
    HRESULT hr = E_FAIL;
    m_source = CScriptedSource::Create(8, 4, &hr);
    ASSERT_EQ(S_OK, hr);
    m_probe = CProbeFilter::Create(1, 0);
    m_graph = CreateGraphWithoutClock();
    ASSERT_TRUE(m_graph);
    ASSERT_EQ(S_OK, m_graph->AddFilter(m_source, L"Source"));
    ASSERT_EQ(S_OK, m_graph->AddFilter(m_probe, L"Probe"));
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(m_source->OutputPin(), m_probe->Input(0), nullptr));
    m_control = m_graph.As<IMediaControl>(IID_IMediaControl);
    m_flow = ComRef<IPinFlowControl>();
    ASSERT_EQ(S_OK, m_source->OutputPin()->QueryInterface(IID_IPinFlowControl, m_flow.PutVoid()));
  }
  void TearDown() override {
    m_probe->Input(0)->receiveGate = nullptr;
    if (m_flow) m_flow->Block(0, nullptr);
    if (m_control) m_control->Stop();
    m_flow.Reset();
    m_control.Reset();
    m_graph.Reset();
    m_source->Release();
    m_probe->Release();
    LiveObjectsTest::TearDown();
  }
  void Run() { ASSERT_TRUE(SUCCEEDED(m_control->Run())); }
  void QueueFrame(int seed) {
    ScriptedSample sample;
    sample.start = seed * 400000LL;
    sample.stop = sample.start + 400000;
    sample.pixels = PatternFrame(8, 4, seed);
    m_source->Queue(sample);
  }

  CScriptedSource* m_source = nullptr;
  CProbeFilter* m_probe = nullptr;
  ComRef<IGraphBuilder> m_graph;
  ComRef<IMediaControl> m_control;
  ComRef<IPinFlowControl> m_flow;
};

TEST_F(DynamicOutputPinTest, BlockAnswers) {
  Event blocked;
  EXPECT_EQ(S_FALSE, m_flow->Block(0, nullptr)) << "not blocked";
  EXPECT_EQ(E_INVALIDARG, m_flow->Block(2, nullptr));
  EXPECT_EQ(E_INVALIDARG, m_flow->Block(0, blocked.Get())) << "unblocking takes no event";
  ASSERT_EQ(S_OK, m_flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, blocked.Get()));
  EXPECT_TRUE(blocked.IsSet()) << "no delivery in progress: blocked at once";
  EXPECT_EQ(VFW_E_PIN_ALREADY_BLOCKED_ON_THIS_THREAD, m_flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, blocked.Get()));
  HRESULT elsewhere = S_OK;
  std::thread([&] { elsewhere = m_flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, nullptr); }).join();
  EXPECT_EQ(VFW_E_PIN_ALREADY_BLOCKED, elsewhere);
  EXPECT_EQ(S_OK, m_flow->Block(0, nullptr));
  EXPECT_EQ(S_FALSE, m_flow->Block(0, nullptr));
}

TEST_F(DynamicOutputPinTest, StoppingEndsTheWaitForAnUnblock) {
  Run();
  Event blocked;
  ASSERT_EQ(S_OK, m_flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, blocked.Get()));
  QueueFrame(0);
  EXPECT_FALSE(m_source->WaitUntilDone(200)) << "waiting in StartUsingOutputPin";
  ASSERT_TRUE(SUCCEEDED(m_control->Stop()));
  EXPECT_EQ(std::vector<HRESULT>{VFW_E_STATE_CHANGED}, m_source->Results());
  EXPECT_TRUE(m_probe->Input(0)->received.empty());
}

TEST_F(DynamicOutputPinTest, ABlockRequestedDuringADeliveryWaitsForIt) {
  Event gate;
  Event arrived;
  m_probe->Input(0)->receiveGate = gate.Get();
  m_probe->Input(0)->receiveArrived = arrived.Get();
  Run();
  QueueFrame(0);
  ASSERT_TRUE(arrived.IsSet(5000));

  Event blocked;
  ASSERT_EQ(S_OK, m_flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, blocked.Get()));
  EXPECT_FALSE(blocked.IsSet(100)) << "pending while the delivery runs";
  QueueFrame(1);
  SetEvent(gate.Get());
  EXPECT_TRUE(blocked.IsSet(5000)) << "in effect once the delivery ended";
  EXPECT_FALSE(m_source->WaitUntilDone(200)) << "the next frame waits";
  EXPECT_EQ(1u, m_source->Results().size());

  ASSERT_EQ(S_OK, m_flow->Block(0, nullptr));
  ASSERT_TRUE(m_source->WaitUntilDone(5000));
  EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK}), m_source->Results());
}

TEST_F(DynamicOutputPinTest, SynchronousBlockReturnsOnceInEffect) {
  Event gate;
  Event arrived;
  m_probe->Input(0)->receiveGate = gate.Get();
  m_probe->Input(0)->receiveArrived = arrived.Get();
  Run();
  QueueFrame(0);
  ASSERT_TRUE(arrived.IsSet(5000));

  Event returned;
  HRESULT result = E_FAIL;
  std::thread blocker([&] {
    result = m_flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, nullptr);
    SetEvent(returned.Get());
  });
  EXPECT_FALSE(returned.IsSet(100));
  SetEvent(gate.Get());
  const bool inEffect = returned.IsSet(5000);
  if (!inEffect) m_flow->Block(0, nullptr);  // an unblock releases the waiting caller
  blocker.join();
  ASSERT_TRUE(inEffect);
  EXPECT_EQ(S_OK, result);

  QueueFrame(1);
  EXPECT_FALSE(m_source->WaitUntilDone(200));
  ASSERT_EQ(S_OK, m_flow->Block(0, nullptr));
  ASSERT_TRUE(m_source->WaitUntilDone(5000));
  EXPECT_EQ(2u, m_probe->Input(0)->received.size());
}

TEST_F(DynamicOutputPinTest, BeginFlushReleasesWaitersUntilEndFlush) {
  Run();
  Event blocked;
  ASSERT_EQ(S_OK, m_flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, blocked.Get()));
  m_source->QueueBeginFlush();
  QueueFrame(0);
  m_source->QueueEndFlush();
  QueueFrame(1);
  ASSERT_TRUE(m_source->WaitForResults(3, 5000));
  EXPECT_FALSE(m_source->WaitUntilDone(200)) << "after end-flush a blocked pin holds frames again";
  EXPECT_EQ((std::vector<HRESULT>{S_OK, VFW_E_STATE_CHANGED, S_OK}), m_source->Results());

  ASSERT_EQ(S_OK, m_flow->Block(0, nullptr));
  ASSERT_TRUE(m_source->WaitUntilDone(5000));
  EXPECT_EQ(S_OK, m_source->Results().back());
  EXPECT_EQ(1u, m_probe->Input(0)->received.size());
}

}  // namespace
}  // namespace ovl::testing

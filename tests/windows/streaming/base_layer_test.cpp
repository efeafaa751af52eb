// What the base layer does that the overlay filter's own tests cannot reach:
// how a refused connection is reported, enumerators that notice a changed
// filter or pin, the walk over the pins on a state change, the allocator
// choice, and the dynamic output pin's flow control in a real graph. A
// scripted source feeds a probe: a sink whose pins answer as a test sets.
#include <gtest/gtest.h>

#include <thread>

#include "tests/windows/support/com_apartment.h"
#include "streaming/base/base_classes.h"
#include "persistence/core/com_ptr.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl::testing {
namespace {

class CProbe : public CBaseFilter {
 public:
  class Pin : public CBaseInputPin {
   public:
    Pin(CProbe* probe, LPCWSTR name, HRESULT* phr)
        : CBaseInputPin(TEXT("Probe input"), probe, &probe->m_lock, phr, name) {}
    HRESULT CheckMediaType(const CMediaType*) override { return checkMediaType; }
    HRESULT Active() override {
      ++activeCalls;
      return FAILED(active) ? active : CBaseInputPin::Active();
    }
    HRESULT Inactive() override {
      ++inactiveCalls;
      const HRESULT hr = CBaseInputPin::Inactive();
      return FAILED(inactive) ? inactive : hr;
    }
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override {
      *properties = requirements;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override {
      notified.push_back(allocator);
      if (refuseAllocators-- > 0) return E_FAIL;
      return CBaseInputPin::NotifyAllocator(allocator, readOnly);
    }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override {
      const HRESULT hr = CBaseInputPin::Receive(sample);
      if (hr != S_OK) return hr;
      ++received;
      if (arrived != nullptr) SetEvent(arrived);
      if (gate != nullptr) WaitForSingleObject(gate, 10000);
      return S_OK;
    }

    HRESULT checkMediaType = S_OK, active = S_OK, inactive = S_OK;  // the answers
    ALLOCATOR_PROPERTIES requirements = {};
    int refuseAllocators = 0;       // this many first allocators are refused
    HANDLE arrived = nullptr;       // set when a sample passed the layer's checks
    HANDLE gate = nullptr;          // Receive waits for it when set
    std::vector<IMemAllocator*> notified;  // identity only
    int activeCalls = 0, inactiveCalls = 0;
    volatile LONG received = 0;
  };

  // A new probe with one reference.
  static CProbe* Create(int inputs) {
    auto* probe = new CProbe();
    probe->NonDelegatingAddRef();
    HRESULT hr = S_OK;
    for (int i = 0; i < inputs; ++i) probe->m_pins.emplace_back(new Pin(probe, L"In", &hr));
    return probe;
  }
  Pin* Input(int i) { return m_pins[static_cast<size_t>(i)].get(); }
  int GetPinCount() override { return static_cast<int>(m_pins.size()); }
  CBasePin* GetPin(int n) override { return n >= 0 && n < GetPinCount() ? Input(n) : nullptr; }

 private:
  CProbe() : CBaseFilter(TEXT("Probe"), nullptr, &m_lock, CLSID_NULL) {}
  CCritSec m_lock;
  std::vector<std::unique_ptr<Pin>> m_pins;
};

struct Event {
  Event() : handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() { CloseHandle(handle); }
  HANDLE Get() const { return handle; }
  bool IsSet(DWORD waitMs = 0) const { return WaitForSingleObject(handle, waitMs) == WAIT_OBJECT_0; }
  const HANDLE handle;
};

// Two scripted sources and a probe with two inputs, not connected. Every
// test must leave behind no framework object it created.
class BaseLayer : public ::testing::Test {
 protected:
  // The first member: COM is left after everything else the test holds.
  const ovl::testing::ComApartment com_;
  void SetUp() override {
    ASSERT_TRUE(com_.Joined());
    m_liveAtStart = CBaseObject::ObjectsActive();
    HRESULT hr = S_OK;
    for (CScriptedSource*& source : sources) source = CScriptedSource::Create(8, 4, &hr);
    probe = CProbe::Create(2);
  }
  void TearDown() override {
    if (control) control->Stop();
    flow.Reset();
    control.Reset();
    graph.Reset();
    probe->Stop();
    for (int i = 0; i < 2; ++i) {
      sources[i]->OutputPin()->Disconnect();
      probe->Input(i)->Disconnect();
      sources[i]->Release();
    }
    probe->Release();
    EXPECT_EQ(m_liveAtStart, CBaseObject::ObjectsActive()) << "framework objects leaked";
  }
  HRESULT Connect(int i) { return sources[i]->OutputPin()->Connect(probe->Input(i), nullptr); }
  FILTER_STATE State() {
    FILTER_STATE state = State_Running;
    EXPECT_EQ(S_OK, probe->GetState(0, &state));
    return state;
  }
  // Source 0 → probe input 0 in a graph without a clock, running; each call
  // starts anew with a new source.
  void RunGraph() {
    if (graph) {
      control->Stop();
      ASSERT_EQ(S_OK, graph->RemoveFilter(sources[0]));
      ASSERT_EQ(S_OK, graph->RemoveFilter(probe));
      flow.Reset();
      sources[0]->Release();
      HRESULT hr = S_OK;
      sources[0] = CScriptedSource::Create(8, 4, &hr);
      probe->Input(0)->received = 0;
    }
    graph = CreateGraphWithoutClock();
    ASSERT_TRUE(graph);
    ASSERT_EQ(S_OK, graph->AddFilter(sources[0], L"Source"));
    ASSERT_EQ(S_OK, graph->AddFilter(probe, L"Probe"));
    ASSERT_EQ(S_OK, graph->ConnectDirect(sources[0]->OutputPin(), probe->Input(0), nullptr));
    control = graph.As<IMediaControl>(IID_IMediaControl);
    ASSERT_EQ(S_OK, sources[0]->OutputPin()->QueryInterface(IID_IPinFlowControl, flow.PutVoid()));
    ASSERT_TRUE(SUCCEEDED(control->Run()));
  }
  void QueueFrame(int seed) {
    ScriptedSample sample;
    sample.start = seed * 400000LL;
    sample.stop = sample.start + 400000;
    sample.pixels = PatternFrame(8, 4, seed);
    sources[0]->Queue(sample);
  }

  CScriptedSource* sources[2] = {};
  CProbe* probe = nullptr;
  ovl::ComPtr<IGraphBuilder> graph;
  ovl::ComPtr<IMediaControl> control;
  ovl::ComPtr<IPinFlowControl> flow;
  LONG m_liveAtStart = 0;
};

TEST_F(BaseLayer, RefusedTypesAreReportedAsNotAccepted) {
  const struct {
    HRESULT check, received, connected;  // CheckMediaType; ReceiveConnection's and Connect's answers
  } cases[] = {{S_FALSE, VFW_E_TYPE_NOT_ACCEPTED, VFW_E_NO_ACCEPTABLE_TYPES},
               {E_FAIL, VFW_E_TYPE_NOT_ACCEPTED, VFW_E_NO_ACCEPTABLE_TYPES},
               {E_INVALIDARG, VFW_E_TYPE_NOT_ACCEPTED, VFW_E_NO_ACCEPTABLE_TYPES},
               {VFW_S_NO_MORE_ITEMS, VFW_E_TYPE_NOT_ACCEPTED, VFW_E_NO_ACCEPTABLE_TYPES},
               {E_OUTOFMEMORY, E_OUTOFMEMORY, E_OUTOFMEMORY},
               {VFW_E_INVALIDMEDIATYPE, VFW_E_INVALIDMEDIATYPE, VFW_E_INVALIDMEDIATYPE}};
  IPin* out = sources[0]->OutputPin();
  for (const auto& c : cases) {
    probe->Input(0)->checkMediaType = c.check;
    EXPECT_EQ(c.received, probe->Input(0)->ReceiveConnection(out, &sources[0]->FrameType())) << std::hex << c.check;
    EXPECT_EQ(c.connected, Connect(0)) << std::hex << c.check;
    EXPECT_FALSE(probe->Input(0)->IsConnected() || sources[0]->OutputPin()->IsConnected());
  }
}

TEST_F(BaseLayer, EnumeratorsAreOutOfSyncAfterAChangeUntilReset) {
  ovl::ComPtr<IEnumPins> pins;
  ovl::ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, probe->EnumPins(pins.Put()));
  ASSERT_EQ(S_OK, sources[0]->OutputPin()->EnumMediaTypes(types.Put()));
  probe->IncrementPinVersion();
  sources[0]->OutputPin()->IncrementTypeVersion();

  IPin* pin[3] = {};
  AM_MEDIA_TYPE* type[2] = {};
  ULONG fetched = 7;
  ovl::ComPtr<IEnumPins> pinsClone;
  ovl::ComPtr<IEnumMediaTypes> typesClone;
  for (int round = 0; round < 2; ++round) {  // still out of sync the second time
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Next(1, pin, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Skip(1));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Clone(pinsClone.Put()));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Next(1, type, &fetched));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Skip(1));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Clone(typesClone.Put()));
  }

  ASSERT_EQ(S_OK, pins->Reset());
  EXPECT_EQ(E_POINTER, pins->Next(2, pin, nullptr)) << "more than one item must be counted";
  EXPECT_EQ(S_FALSE, pins->Next(3, pin, &fetched));
  ASSERT_EQ(2u, fetched);
  for (ULONG i = 0; i < fetched; ++i) pin[i]->Release();
  ASSERT_EQ(S_OK, types->Reset());
  EXPECT_EQ(S_FALSE, types->Next(2, type, &fetched));
  ASSERT_EQ(1u, fetched);
  EXPECT_TRUE(CMediaType(*type[0]) == sources[0]->FrameType());
  DeleteMediaType(type[0]);
  EXPECT_EQ(S_OK, types->Reset());
  EXPECT_EQ(S_OK, types->Skip(1));
  EXPECT_EQ(S_FALSE, types->Skip(1));
}

TEST_F(BaseLayer, PauseStopsAtTheFirstFailingPinAndStopReachesThemAll) {
  ASSERT_EQ(S_OK, Connect(0));
  ASSERT_EQ(S_OK, Connect(1));
  probe->Input(0)->active = VFW_E_NO_ALLOCATOR;
  EXPECT_EQ(VFW_E_NO_ALLOCATOR, probe->Pause());
  EXPECT_EQ(VFW_E_NO_ALLOCATOR, probe->Run(0));
  EXPECT_EQ(State_Stopped, State());
  EXPECT_EQ(0, probe->Input(1)->activeCalls);

  probe->Input(0)->active = S_OK;
  ASSERT_EQ(S_OK, probe->Pause());
  probe->Input(0)->inactive = E_ACCESSDENIED;
  probe->Input(1)->inactive = E_FAIL;
  EXPECT_EQ(E_ACCESSDENIED, probe->Stop()) << "the first failure";
  EXPECT_EQ(State_Stopped, State());
  EXPECT_EQ(1, probe->Input(1)->inactiveCalls) << "every connected pin becomes inactive";
  EXPECT_EQ(S_OK, probe->Stop());
  EXPECT_EQ(1, probe->Input(0)->inactiveCalls) << "stopping twice deactivates once";
  probe->Input(0)->inactive = probe->Input(1)->inactive = S_OK;
  EXPECT_EQ(S_OK, probe->Pause()) << "a failed stop leaves the filter able to start again";
}

TEST_F(BaseLayer, AllocatorChoiceFallsBackToANewAllocator) {
  CProbe::Pin* in = probe->Input(0);
  in->requirements = {3, 1000, 0, 0};  // more than the source asks for
  in->refuseAllocators = 1;
  ASSERT_EQ(S_OK, Connect(0));
  ASSERT_EQ(2u, in->notified.size());
  EXPECT_NE(in->notified[0], in->notified[1]) << "the receiver's allocator, then a new one";
  IMemAllocator* chosen = sources[0]->OutputPin()->Allocator();
  EXPECT_EQ(in->notified[1], chosen);
  EXPECT_EQ(chosen, in->Allocator());
  ALLOCATOR_PROPERTIES properties = {};
  ASSERT_EQ(S_OK, chosen->GetProperties(&properties));
  EXPECT_EQ(3, properties.cBuffers);
  EXPECT_EQ(1000, properties.cbBuffer);

  // When no allocator suits, the connection is undone on both sides.
  ASSERT_EQ(S_OK, sources[0]->OutputPin()->Disconnect());
  ASSERT_EQ(S_OK, in->Disconnect());
  in->refuseAllocators = 2;
  EXPECT_EQ(E_FAIL, Connect(0));
  EXPECT_FALSE(in->IsConnected() || sources[0]->OutputPin()->IsConnected());
  EXPECT_EQ(nullptr, sources[0]->OutputPin()->Allocator());
}

// A streaming thread waiting for an unblock leaves with VFW_E_STATE_CHANGED
// when the filter stops or the pin flushes; after the flush a blocked pin
// holds frames again.
TEST_F(BaseLayer, StopOrFlushEndsTheWaitForAnUnblock) {
  for (const bool stop : {true, false}) {
    SCOPED_TRACE(stop ? "stop" : "flush");
    RunGraph();
    Event blocked;
    ASSERT_EQ(S_OK, flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, blocked.Get()));
    QueueFrame(0);
    EXPECT_FALSE(sources[0]->WaitUntilDone(200)) << "waiting in StartUsingOutputPin";
    if (stop) {
      ASSERT_TRUE(SUCCEEDED(control->Stop()));
      EXPECT_EQ(std::vector<HRESULT>{VFW_E_STATE_CHANGED}, sources[0]->Results());
    } else {
      EXPECT_EQ(S_OK, sources[0]->Flush());
      QueueFrame(1);
      EXPECT_FALSE(sources[0]->WaitUntilDone(200));
      ASSERT_EQ(S_OK, flow->Block(0, nullptr));
      ASSERT_TRUE(sources[0]->WaitUntilDone(5000));
      EXPECT_EQ((std::vector<HRESULT>{VFW_E_STATE_CHANGED, S_OK}), sources[0]->Results());
    }
    EXPECT_EQ(stop ? 0 : 1, probe->Input(0)->received);
    flow->Block(0, nullptr);
  }
}

// A block requested while a delivery runs takes effect once it ended, both
// with an event (at once) and without (the call returns then).
TEST_F(BaseLayer, ABlockDuringADeliveryWaitsForIt) {
  Event gate, arrived;
  probe->Input(0)->gate = gate.Get();
  probe->Input(0)->arrived = arrived.Get();
  for (const bool synchronous : {false, true}) {
    SCOPED_TRACE(synchronous ? "synchronous" : "with an event");
    ResetEvent(gate.Get());
    ResetEvent(arrived.Get());
    RunGraph();
    QueueFrame(0);
    ASSERT_TRUE(arrived.IsSet(5000));
    Event blocked;
    std::thread blocker([&] {
      EXPECT_EQ(S_OK, flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, synchronous ? nullptr : blocked.Get()));
      if (synchronous) SetEvent(blocked.Get());
    });
    if (!synchronous) blocker.join();
    EXPECT_FALSE(blocked.IsSet(100)) << "pending while the delivery runs";
    SetEvent(gate.Get());
    const bool inEffect = blocked.IsSet(5000);
    if (!inEffect) flow->Block(0, nullptr);  // an unblock releases a waiting caller
    if (synchronous) blocker.join();
    ASSERT_TRUE(inEffect);
    QueueFrame(1);
    EXPECT_FALSE(sources[0]->WaitUntilDone(200)) << "the next frame waits";
    ASSERT_EQ(S_OK, flow->Block(0, nullptr));
    ASSERT_TRUE(sources[0]->WaitUntilDone(5000));
    EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK}), sources[0]->Results());
  }
}

}  // namespace
}  // namespace ovl::testing

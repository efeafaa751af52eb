// Filter state changes of the base layer: which pins become active or
// inactive, what a failing pin does to the walk, and graph membership.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/windows/streaming/live_objects.h"
#include "tests/windows/streaming/pass_through_transform.h"
#include "tests/windows/streaming/probe_filter.h"
#include "tests/windows/streaming/stream_types.h"
#include "tests/windows/support/com_ref.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl::testing {
namespace {

using Calls = std::vector<std::string>;

class FilterStateTest : public LiveObjectsTest {
 protected:
  void TearDown() override {
    for (CBaseFilter* filter : m_filters) {
      filter->Stop();
      for (int i = 0; i < filter->GetPinCount(); ++i) filter->GetPin(i)->Disconnect();
    }
    for (CBaseFilter* filter : m_filters) filter->Release();
    LiveObjectsTest::TearDown();
  }
  template <class T>
  T* Keep(T* filter) {
    m_filters.push_back(filter);
    return filter;
  }
  // Two probes: `up` with `links` outputs connected to as many inputs of `down`.
  void Link(int links) {
    m_up = Keep(CProbeFilter::Create(0, links));
    m_down = Keep(CProbeFilter::Create(links, 0));
    for (int i = 0; i < links; ++i) {
      m_up->Output(i)->offered = {VideoType(8, 4)};
      ASSERT_EQ(S_OK, m_up->Output(i)->Connect(m_down->Input(i), nullptr));
    }
    m_up->Log().Clear();
    m_down->Log().Clear();
  }
  FILTER_STATE State(IBaseFilter* filter) {
    FILTER_STATE state = State_Running;
    EXPECT_EQ(S_OK, filter->GetState(0, &state));
    return state;
  }

  std::vector<CBaseFilter*> m_filters;
  CProbeFilter* m_up = nullptr;
  CProbeFilter* m_down = nullptr;
};

TEST_F(FilterStateTest, PauseWithNothingConnectedActivatesNoPin) {
  CProbeFilter* probe = Keep(CProbeFilter::Create(1, 1));
  EXPECT_EQ(S_OK, probe->Pause());
  EXPECT_EQ(State_Paused, State(probe));
  EXPECT_EQ(S_OK, probe->Stop());
  EXPECT_EQ(State_Stopped, State(probe));
  EXPECT_TRUE(probe->Log().Calls().empty());

  CPassThroughTransform* transform = Keep(CPassThroughTransform::Create());
  EXPECT_EQ(S_OK, transform->Pause());
  EXPECT_EQ(State_Paused, State(transform));
  EXPECT_EQ(0, transform->startStreamingCalls) << "nothing to stream";
  EXPECT_EQ(E_POINTER, transform->GetState(0, nullptr));
}

TEST_F(FilterStateTest, RunPausesFirstAndStopDeactivatesConnectedPins) {
  Link(1);
  ASSERT_EQ(S_OK, m_down->Run(1234));
  EXPECT_EQ(State_Running, State(m_down));
  EXPECT_EQ((Calls{"in0.Active", "in0.Run"}), m_down->Log().Calls());

  m_down->Log().Clear();
  EXPECT_EQ(S_OK, m_down->Pause());
  EXPECT_EQ(S_OK, m_down->Run(0));
  EXPECT_EQ(Calls{"in0.Run"}, m_down->Log().Calls()) << "running to paused and back touches no allocator";

  m_down->Log().Clear();
  EXPECT_EQ(S_OK, m_down->Stop());
  EXPECT_EQ(Calls{"in0.Inactive"}, m_down->Log().Calls());
  EXPECT_EQ(S_OK, m_down->Stop());
  EXPECT_EQ(Calls{"in0.Inactive"}, m_down->Log().Calls()) << "stopping twice deactivates once";
}

TEST_F(FilterStateTest, StopReachesEveryPinAndReportsTheFirstFailure) {
  Link(2);
  ASSERT_EQ(S_OK, m_down->Pause());
  m_down->Input(0)->inactive = E_ACCESSDENIED;
  m_down->Input(1)->inactive = E_FAIL;
  m_down->Log().Clear();
  EXPECT_EQ(E_ACCESSDENIED, m_down->Stop());
  EXPECT_EQ(State_Stopped, State(m_down));
  EXPECT_EQ((Calls{"in0.Inactive", "in1.Inactive"}), m_down->Log().Calls());

  m_down->Input(0)->inactive = S_OK;
  m_down->Input(1)->inactive = S_OK;
  EXPECT_EQ(S_OK, m_down->Pause()) << "a failed stop leaves the filter able to start again";
}

TEST_F(FilterStateTest, PauseStopsAtTheFirstPinThatCannotStart) {
  Link(2);
  m_down->Input(0)->active = VFW_E_NO_ALLOCATOR;
  EXPECT_EQ(VFW_E_NO_ALLOCATOR, m_down->Pause());
  EXPECT_EQ(State_Stopped, State(m_down));
  EXPECT_EQ(Calls{"in0.Active"}, m_down->Log().Calls());
  EXPECT_EQ(VFW_E_NO_ALLOCATOR, m_down->Run(0));
  EXPECT_EQ(State_Stopped, State(m_down));
}

TEST_F(FilterStateTest, DynamicOutputPinsNeedTheGraphConfiguration) {
  HRESULT hr = E_FAIL;
  CScriptedSource* source = Keep(CScriptedSource::Create(8, 4, &hr));
  ASSERT_EQ(S_OK, hr);
  CProbeFilter* probe = Keep(CProbeFilter::Create(1, 0));
  ASSERT_EQ(S_OK, source->OutputPin()->Connect(probe->Input(0), nullptr));
  EXPECT_EQ(E_FAIL, source->Pause()) << "no IGraphConfig and stop event outside a graph";
  EXPECT_EQ(State_Stopped, State(source));
}

TEST_F(FilterStateTest, FiltersKnowTheirGraphAndReportEventsToIt) {
  CProbeFilter* probe = Keep(CProbeFilter::Create(1, 0));
  FILTER_INFO info = {};
  ASSERT_EQ(S_OK, probe->QueryFilterInfo(&info));
  EXPECT_STREQ(L"", info.achName);
  EXPECT_EQ(nullptr, info.pGraph);
  EXPECT_EQ(E_NOTIMPL, probe->NotifyEvent(EC_USERABORT, 0, 0)) << "no graph to tell";
  {
    auto graph = CreateGraphWithoutClock();
    ASSERT_TRUE(graph);
    ASSERT_EQ(S_OK, graph->AddFilter(probe, L"Probe"));
    ASSERT_EQ(S_OK, probe->QueryFilterInfo(&info));
    EXPECT_STREQ(L"Probe", info.achName);
    EXPECT_NE(nullptr, info.pGraph);
    info.pGraph->Release();

    EXPECT_EQ(S_OK, probe->NotifyEvent(EC_USERABORT, 0, 0));
    auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
    const auto drained = DrainEvents(events.Get());
    EXPECT_NE(drained.end(), std::find_if(drained.begin(), drained.end(),
                                          [](const auto& e) { return e.first == EC_USERABORT; }));
    ASSERT_EQ(S_OK, graph->RemoveFilter(probe));
  }
  ASSERT_EQ(S_OK, probe->QueryFilterInfo(&info));
  EXPECT_EQ(nullptr, info.pGraph);
}

}  // namespace
}  // namespace ovl::testing

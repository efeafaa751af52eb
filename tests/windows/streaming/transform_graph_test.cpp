// The transform filter classes in a real graph: scripted source → our
// pass-through video transform → the platform's Sample Grabber → Null
// Renderer. Frames must come out as they went in; stream errors, dropped
// frames, end of stream and quality messages must reach the graph as the
// platform defines.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "tests/windows/streaming/live_objects.h"
#include "tests/windows/streaming/pass_through_transform.h"
#include "tests/windows/support/com_ref.h"
#include "tests/windows/support/grabber_sink.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl::testing {
namespace {

constexpr LONG kWidth = 6;  // rows of 18 bytes, padded to 20
constexpr LONG kHeight = 3;

class TransformGraphTest : public LiveObjectsTest {
 protected:
  void SetUp() override {
    LiveObjectsTest::SetUp();
    HRESULT hr = E_FAIL;
    m_source = CScriptedSource::Create(kWidth, kHeight, &hr);
    ASSERT_EQ(S_OK, hr);
    m_transform = CPassThroughTransform::Create();
    m_graph = CreateGraphWithoutClock();
    ASSERT_TRUE(m_graph);
    ASSERT_EQ(S_OK, m_graph->AddFilter(m_source, L"Source"));
    ASSERT_EQ(S_OK, m_graph->AddFilter(m_transform, L"Transform"));
    m_sink = std::make_unique<GrabberSink>();
    ASSERT_EQ(S_OK, m_sink->AddTo(m_graph.Get(), MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
    ASSERT_EQ(S_OK, m_graph->ConnectDirect(m_source->OutputPin(), m_transform->Input(), nullptr));
    ASSERT_EQ(S_OK, m_sink->ConnectFrom(m_graph.Get(), m_transform->Output()));
    m_control = m_graph.As<IMediaControl>(IID_IMediaControl);
    m_events = m_graph.As<IMediaEvent>(IID_IMediaEvent);
    ASSERT_TRUE(m_control && m_events);
  }
  void TearDown() override {
    if (m_control) m_control->Stop();
    m_control.Reset();
    m_events.Reset();
    m_graph.Reset();
    m_sink.reset();
    m_source->Release();
    m_transform->Release();
    LiveObjectsTest::TearDown();
  }
  void Run() { ASSERT_TRUE(SUCCEEDED(m_control->Run())); }
  static ScriptedSample Frame(int seed) {
    ScriptedSample sample;
    sample.start = seed * 400000LL;
    sample.stop = sample.start + 400000;
    sample.pixels = PatternFrame(kWidth, kHeight, seed);
    return sample;
  }
  int CountEvents(long code) {
    for (const auto& event : DrainEvents(m_events.Get())) m_seen.push_back(event);
    return static_cast<int>(
        std::count_if(m_seen.begin(), m_seen.end(), [code](const auto& event) { return event.first == code; }));
  }

  CScriptedSource* m_source = nullptr;
  CPassThroughTransform* m_transform = nullptr;
  ComRef<IGraphBuilder> m_graph;
  std::unique_ptr<GrabberSink> m_sink;
  ComRef<IMediaControl> m_control;
  ComRef<IMediaEvent> m_events;
  std::vector<std::pair<long, LONG_PTR>> m_seen;
};

TEST_F(TransformGraphTest, FramesComeOutAsTheyWentIn) {
  std::vector<ScriptedSample> script;
  for (int i = 0; i < 5; ++i) {
    script.push_back(Frame(i));
    script.back().syncPoint = i % 2 == 0;
  }
  script[0].discontinuity = true;
  script.push_back(Frame(5));
  script.back().hasTime = false;
  script.push_back(Frame(6));
  script.back().zeroLength = true;

  Run();
  for (const auto& sample : script) m_source->Queue(sample);
  m_source->QueueEndOfStream();
  ASSERT_TRUE(m_source->WaitUntilDone(5000));
  EXPECT_EQ(std::vector<HRESULT>(script.size() + 1, S_OK), m_source->Results());
  long code = 0;
  ASSERT_EQ(S_OK, m_events->WaitForCompletion(5000, &code));
  EXPECT_EQ(EC_COMPLETE, code);

  const auto frames = m_sink->Frames();
  ASSERT_EQ(script.size(), frames.size());
  for (size_t i = 0; i < script.size(); ++i) {
    SCOPED_TRACE(i);
    const bool empty = script[i].zeroLength;
    EXPECT_EQ(empty ? std::vector<BYTE>{} : script[i].pixels, frames[i].bytes);
    EXPECT_EQ(script[i].hasTime, frames[i].hasTime);
    if (script[i].hasTime) {
      EXPECT_EQ(script[i].start, frames[i].start);
      EXPECT_EQ(script[i].stop, frames[i].stop);
    }
    EXPECT_EQ(script[i].discontinuity, frames[i].discontinuity);
    EXPECT_EQ(script[i].syncPoint, frames[i].syncPoint);
  }
  ASSERT_TRUE(SUCCEEDED(m_control->Stop()));
  EXPECT_EQ(1, m_transform->startStreamingCalls);
  EXPECT_EQ(1, m_transform->stopStreamingCalls);
}

TEST_F(TransformGraphTest, ARefusedTypeChangeAbortsUntilEndFlushOrStop) {
  auto same = std::make_shared<CMediaType>(MakeRgb24Type(kWidth, kHeight));
  auto other = std::make_shared<CMediaType>(MakeRgb24Type(kWidth * 2, kHeight));
  Run();
  m_source->Queue(Frame(0));
  ScriptedSample accepted = Frame(1);
  accepted.typeChange = same;
  m_source->Queue(accepted);
  ScriptedSample refused = Frame(2);
  refused.typeChange = other;
  m_source->Queue(refused);
  m_source->Queue(Frame(3));
  m_source->QueueBeginFlush();
  m_source->QueueEndFlush();
  m_source->Queue(Frame(4));
  ASSERT_TRUE(m_source->WaitUntilDone(5000));
  EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK, VFW_E_INVALIDMEDIATYPE, VFW_E_RUNTIME_ERROR, S_OK, S_OK, S_OK}),
            m_source->Results());
  EXPECT_EQ(1, CountEvents(EC_ERRORABORT));
  const auto abort = std::find_if(m_seen.begin(), m_seen.end(), [](const auto& e) { return e.first == EC_ERRORABORT; });
  ASSERT_NE(m_seen.end(), abort);
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, static_cast<HRESULT>(abort->second));
  EXPECT_EQ(3u, m_sink->Frames().size());

  // Stopping clears the error too.
  refused = Frame(5);
  refused.typeChange = other;
  m_source->Queue(refused);
  m_source->Queue(Frame(6));
  ASSERT_TRUE(m_source->WaitUntilDone(5000));
  ASSERT_TRUE(SUCCEEDED(m_control->Stop()));
  Run();
  m_source->Queue(Frame(7));
  ASSERT_TRUE(m_source->WaitUntilDone(5000));
  const auto results = m_source->Results();
  EXPECT_EQ((std::vector<HRESULT>{VFW_E_INVALIDMEDIATYPE, VFW_E_RUNTIME_ERROR, S_OK}),
            std::vector<HRESULT>(results.end() - 3, results.end()));
  EXPECT_EQ(2, CountEvents(EC_ERRORABORT));
  EXPECT_EQ(4u, m_sink->Frames().size());
}

TEST_F(TransformGraphTest, DroppedFramesRaiseOneQualityChangePerPause) {
  m_transform->transformSkips = {1, 2};
  m_transform->qualitySkips = {4};
  Run();
  for (int i = 0; i < 6; ++i) m_source->Queue(Frame(i));
  ASSERT_TRUE(m_source->WaitUntilDone(5000));
  EXPECT_EQ(std::vector<HRESULT>(6, S_OK), m_source->Results()) << "a dropped frame is no error upstream";
  const auto frames = m_sink->Frames();
  ASSERT_EQ(3u, frames.size());
  EXPECT_EQ(PatternFrame(kWidth, kHeight, 0), frames[0].bytes);
  EXPECT_EQ(PatternFrame(kWidth, kHeight, 3), frames[1].bytes);
  EXPECT_EQ(PatternFrame(kWidth, kHeight, 5), frames[2].bytes);
  EXPECT_EQ(1, CountEvents(EC_QUALITY_CHANGE));
  EXPECT_EQ(1, m_transform->FramesDropped());

  // A new pause may report again.
  ASSERT_TRUE(SUCCEEDED(m_control->Stop()));
  m_transform->transformSkips = {0};
  Run();
  m_source->Queue(Frame(6));
  ASSERT_TRUE(m_source->WaitUntilDone(5000));
  EXPECT_EQ(2, CountEvents(EC_QUALITY_CHANGE));
}

TEST_F(TransformGraphTest, PausingWithoutAnInputEndsTheStreamDownstream) {
  ASSERT_EQ(S_OK, m_graph->Disconnect(m_source->OutputPin()));
  ASSERT_EQ(S_OK, m_graph->Disconnect(m_transform->Input()));
  for (int run = 0; run < 2; ++run) {
    Run();
    long code = 0;
    ASSERT_EQ(S_OK, m_events->WaitForCompletion(5000, &code)) << run;
    EXPECT_EQ(EC_COMPLETE, code);
    ASSERT_TRUE(SUCCEEDED(m_control->Stop()));
  }
  EXPECT_EQ(0, m_transform->startStreamingCalls);
}

TEST_F(TransformGraphTest, QualityMessagesTravelUpstream) {
  ComRef<IQualityControl> quality;
  ASSERT_EQ(S_OK, m_transform->Output()->QueryInterface(IID_IQualityControl, quality.PutVoid()));
  Quality late = {Famine, 800, 250000, 400000};
  EXPECT_EQ(S_OK, quality->Notify(m_transform, late));
  EXPECT_EQ(1, m_source->OutputPin()->QualityMessages());
  EXPECT_EQ(E_POINTER, quality->Notify(nullptr, late));
  EXPECT_EQ(1, m_source->OutputPin()->QualityMessages());
}

TEST_F(TransformGraphTest, SeekingIsPassedUpstream) {
  ComRef<IMediaSeeking> seeking;
  ASSERT_EQ(S_OK, m_transform->Output()->QueryInterface(IID_IMediaSeeking, seeking.PutVoid()));
  // The source cannot seek, so neither can the chain.
  LONGLONG duration = 0;
  EXPECT_TRUE(FAILED(seeking->GetDuration(&duration)));
  ComRef<IPin> pin;
  ASSERT_EQ(S_OK, seeking->QueryInterface(IID_IPin, pin.PutVoid())) << "aggregated into the pin";
  EXPECT_EQ(static_cast<IPin*>(m_transform->Output()), pin.Get());
}

}  // namespace
}  // namespace ovl::testing

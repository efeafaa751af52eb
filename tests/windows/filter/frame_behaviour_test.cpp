// The multiple-input frame on its own, with a small test filter on top:
// skipped frames and their quality event, and end of stream only once every
// connected input has ended.
#include <gtest/gtest.h>

#include <cstring>

#include "streaming/mux_dynamic_output_pin.h"
#include "streaming/mux_transform_input_pin.h"
#include "tests/windows/support/filter_test_support.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl {
namespace {

using namespace ovl::testing;

const CLSID kTestFrameClsid = {0x5C0A1B2D, 0x1111, 0x4222, {0x83, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};

// Copies input 0 through; with `skipOdd`, every other frame is dropped by
// answering S_FALSE.
class CopyFrame : public CMultipleInputPinTransformFilter {
 public:
  explicit CopyFrame(HRESULT* phr) : CMultipleInputPinTransformFilter(TEXT("copy frame"), nullptr, kTestFrameClsid, phr) {}
  DECLARE_IUNKNOWN
  using CMultipleInputPinTransformFilter::Transform;
  HRESULT Transform(int, IMediaSample* in, IMediaSample*, IMediaSample* out) override {
    if (skipOdd && (InterlockedIncrement(&count) & 1) == 0) return S_FALSE;
    BYTE* src = nullptr;
    BYTE* dst = nullptr;
    in->GetPointer(&src);
    out->GetPointer(&dst);
    std::memcpy(dst, src, std::min(in->GetActualDataLength(), out->GetSize()));
    return S_OK;
  }
  HRESULT CheckInputType(const CMediaType* type) override {
    return type->subtype == MEDIASUBTYPE_RGB24 ? S_OK : E_FAIL;
  }
  HRESULT CheckTransform(const CMediaType*, const CMediaType*) override { return S_OK; }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    request->cBuffers = 1;
    request->cbBuffer = static_cast<long>(InputPin(0)->CurrentMediaType().lSampleSize);
    ALLOCATOR_PROPERTIES actual{};
    return allocator->SetProperties(request, &actual);
  }
  HRESULT GetMediaType(int position, CMediaType* type) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    *type = InputPin(0)->CurrentMediaType();
    return S_OK;
  }
  using CMultipleInputPinTransformFilter::CompleteConnect;
  using CMultipleInputPinTransformFilter::BreakConnect;
  HRESULT CompleteConnect(PIN_DIRECTION, int, IPin*) override {
    GrowInputPins();
    return S_OK;
  }
  HRESULT BreakConnect(PIN_DIRECTION, int) override { return S_OK; }
  int MaxInputPins() const override { return 2; }

  bool skipOdd = false;
  volatile LONG count = 0;
};

class FrameBehaviour : public ::testing::Test {
 protected:
  void SetUp() override {
    graph = CreateGraphWithoutClock();
    HRESULT hr = S_OK;
    frame = new CopyFrame(&hr);
    frame->NonDelegatingAddRef();
    ASSERT_EQ(S_OK, hr);
    ASSERT_EQ(S_OK, graph->AddFilter(frame, L"frame"));
    for (int i = 0; i < 2; ++i) {
      sources[i] = CScriptedSource::Create(8, 4, &hr);
      graph->AddFilter(sources[i], i == 0 ? L"first" : L"second");
    }
  }
  void TearDown() override {
    sink.reset();
    for (CScriptedSource* s : sources) s->Release();
    graph.Reset();
    frame->NonDelegatingRelease();
    EXPECT_TRUE(NoLiveObjects());
  }
  void Connect(int inputs) {
    for (int i = 0; i < inputs; ++i) {
      ASSERT_EQ(S_OK, graph->ConnectDirect(sources[i]->OutputPin(), FindPin(frame, PINDIR_INPUT, i).Get(), nullptr));
    }
    sink = std::make_unique<GrabberSink>();
    ASSERT_EQ(S_OK, sink->AddTo(graph.Get(), MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
    ASSERT_EQ(S_OK, sink->ConnectFrom(graph.Get(), FindPin(frame, PINDIR_OUTPUT).Get()));
  }
  static ScriptedSample Sample(int k) {
    ScriptedSample s;
    s.pixels = PatternFrame(8, 4, k);
    s.start = k * 400000;
    s.stop = s.start + 400000;
    return s;
  }

  ComApartment com;
  ovl::ComPtr<IGraphBuilder> graph;
  CopyFrame* frame = nullptr;
  CScriptedSource* sources[2] = {};
  std::unique_ptr<GrabberSink> sink;
};

TEST_F(FrameBehaviour, SkippedFramesRaiseOneQualityEventPerPause) {
  frame->skipOdd = true;
  Connect(1);
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
  auto countQuality = [&] {
    int n = 0;
    for (const auto& e : DrainEvents(events.Get())) n += e.first == EC_QUALITY_CHANGE;
    return n;
  };
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    for (int k = 0; k < 6; ++k) sources[0]->Queue(Sample(k));
    ASSERT_TRUE(sources[0]->WaitForResults(6 * (round + 1), 10000));
    for (HRESULT hr : sources[0]->Results()) EXPECT_EQ(S_OK, hr) << "a skipped frame is not an error upstream";
    control->Pause();
    EXPECT_EQ(1, countQuality()) << "round " << round;
    control->Stop();
  }
  EXPECT_EQ(6u, sink->Frames().size()) << "half of twelve frames delivered";
}

TEST_F(FrameBehaviour, EndOfStreamGoesDownstreamOnceEveryConnectedInputHasEnded) {
  Connect(2);
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  sources[0]->Queue(Sample(0));
  sources[0]->QueueEndOfStream();
  ASSERT_TRUE(sources[0]->WaitForResults(2, 10000));
  long code = 0;
  EXPECT_EQ(E_ABORT, events->WaitForCompletion(300, &code)) << "the second input is still streaming";
  sources[1]->QueueEndOfStream();
  ASSERT_TRUE(sources[1]->WaitForResults(1, 10000));
  EXPECT_EQ(S_OK, events->WaitForCompletion(5000, &code));
  EXPECT_EQ(EC_COMPLETE, code);
  control->Stop();
}

}  // namespace
}  // namespace ovl

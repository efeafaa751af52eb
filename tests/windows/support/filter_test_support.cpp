#include "tests/windows/support/filter_test_support.h"

#include "streaming/base/module_state.h"
#include "tests/support/reference_compositor.h"
#include "tests/windows/support/graph_util.h"
#include "tools/avi_writer.h"

namespace ovl::testing {

Frame PatternPicture(LONG width, LONG height, int seed) {
  const std::size_t stride = RgbStride(width);
  Frame frame(stride * height, 0);
  for (LONG y = 0; y < height; ++y) {
    for (LONG x = 0; x < width; ++x) {
      BYTE* p = frame.data() + y * stride + 3 * x;
      p[0] = static_cast<BYTE>(x * 3 + seed * 17);
      p[1] = static_cast<BYTE>(y * 5 + seed * 29);
      p[2] = static_cast<BYTE>((x ^ y) + seed * 53);
    }
  }
  return frame;
}

std::wstring WriteAvi(const std::wstring& name, LONG width, LONG height, REFERENCE_TIME frameDuration,
                      const std::vector<Frame>& frames) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  const std::wstring path = std::wstring(dir) + name;
  char ansi[MAX_PATH * 2];
  WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi, sizeof(ansi), nullptr, nullptr);
  tools::AviWriter writer;
  if (!writer.Open(ansi, width, height, frameDuration)) return {};
  for (const Frame& f : frames) writer.AddFrame(f.data());
  return writer.Close() ? path : std::wstring();
}

ovl::ComPtr<IBaseFilter> MakeOverlayFilter(CVOvrLyFilter** filter) {
  HRESULT hr = S_OK;
  CUnknown* object = CVOvrLyFilter::CreateInstance(nullptr, &hr);
  if (object == nullptr || FAILED(hr)) {
    delete object;
    return {};
  }
  ovl::ComPtr<IBaseFilter> base;
  object->NonDelegatingQueryInterface(IID_IBaseFilter, base.PutVoid());
  if (filter != nullptr) *filter = static_cast<CVOvrLyFilter*>(object);
  return base;
}

ovl::ComPtr<IPin> AddAviSource(IGraphBuilder* graph, const std::wstring& path, const wchar_t* name) {
  ovl::ComPtr<IBaseFilter> reader, splitter;
  if (FAILED(CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reader.PutVoid())) ||
      FAILED(CoCreateInstance(CLSID_AviSplitter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, splitter.PutVoid()))) {
    return {};
  }
  const std::wstring readerName = std::wstring(name) + L" file";
  graph->AddFilter(reader.Get(), readerName.c_str());
  graph->AddFilter(splitter.Get(), name);
  auto source = reader.As<IFileSourceFilter>(IID_IFileSourceFilter);
  if (!source || FAILED(source->Load(path.c_str(), nullptr))) return {};
  ovl::ComPtr<IPin> readerOut = FindPin(reader.Get(), PINDIR_OUTPUT);
  ovl::ComPtr<IPin> splitterIn = FindPin(splitter.Get(), PINDIR_INPUT);
  if (FAILED(graph->ConnectDirect(readerOut.Get(), splitterIn.Get(), nullptr))) return {};
  return FindPin(splitter.Get(), PINDIR_OUTPUT);
}

bool RunToCompletion(IGraphBuilder* graph, long timeoutMs) {
  ovl::ComPtr<IGraphBuilder> g(graph);
  graph->AddRef();
  auto control = g.As<IMediaControl>(IID_IMediaControl);
  auto events = g.As<IMediaEvent>(IID_IMediaEvent);
  if (!control || !events || FAILED(control->Run())) return false;
  long code = 0;
  const HRESULT hr = events->WaitForCompletion(timeoutMs, &code);
  control->Stop();
  return hr == S_OK && code == EC_COMPLETE;
}

std::vector<Frame> ReferenceFrames(const OverlaySettings& settings, LONG compositeWidth, LONG compositeHeight,
                                   LONG width1, LONG height1, const std::vector<Frame>& main, LONG width2,
                                   LONG height2, const std::vector<const Frame*>& held) {
  reference::ReferenceCompositor literal;
  literal.BuildSurfaces(compositeWidth, compositeHeight, settings.BkLayerColor, {width1, height1, true},
                        {width2, height2, width2 > 0});
  std::vector<Frame> out;
  for (std::size_t i = 0; i < main.size(); ++i) {
    Frame frame(RgbStride(compositeWidth) * compositeHeight);
    const Frame* second = i < held.size() ? held[i] : nullptr;
    literal.ComposeFrame(settings, main[i].data(), main[i].size(), second ? second->data() : nullptr,
                         second ? second->size() : 0, frame.data(), frame.size());
    out.push_back(std::move(frame));
  }
  return out;
}

bool NoLiveObjects() { return ovl::module::CanUnload(); }

void OverlayFilterGraph::SetUp() {
  graph = CreateGraphWithoutClock();
  filterBase = MakeOverlayFilter(&filter);
  ASSERT_TRUE(graph && filterBase);
  ASSERT_EQ(S_OK, graph->AddFilter(filterBase.Get(), L"Overlay"));
}

void OverlayFilterGraph::TearDown() {
  sink.reset();
  ReleaseUpstream();
  filterBase.Reset();
  graph.Reset();
  EXPECT_TRUE(NoLiveObjects()) << "a filter or pin outlived its graph";
}

void OverlayFilterGraph::ConnectSink() {
  sink = std::make_unique<GrabberSink>();
  ASSERT_EQ(S_OK, sink->AddTo(graph.Get(), MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
  ASSERT_EQ(S_OK, sink->ConnectFrom(graph.Get(), Output().Get()));
}

}  // namespace ovl::testing

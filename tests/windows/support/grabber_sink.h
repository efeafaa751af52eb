#pragma once
// The end of a test graph: the platform's Sample Grabber followed by its
// Null Renderer, recording every sample that reaches the grabber (bytes,
// times, flags) from the streaming thread.
#include <memory>
#include <mutex>
#include <vector>

#include "streaming/base/dshow_platform.h"
#include "persistence/core/com_ptr.h"

namespace ovl::testing {

struct CapturedFrame {
  std::vector<BYTE> bytes;
  bool hasTime = false;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool discontinuity = false;
  bool syncPoint = false;
  bool preroll = false;
};

class GrabberSink {
 public:
  GrabberSink() = default;
  GrabberSink(const GrabberSink&) = delete;
  GrabberSink& operator=(const GrabberSink&) = delete;
  ~GrabberSink();

  // Creates both filters in the graph; the grabber accepts only types with
  // the given major type and subtype.
  HRESULT AddTo(IGraphBuilder* graph, const GUID& majortype, const GUID& subtype);
  // Connects `upstream` to the grabber, then the grabber to the renderer (the
  // grabber offers its output types only once its input is connected).
  HRESULT ConnectFrom(IGraphBuilder* graph, IPin* upstream);
  std::vector<CapturedFrame> Frames() const;
  // Keeps a reference to each of the next `count` samples (their buffers
  // stay in use, so the upstream allocator can run dry) until ReleaseKept.
  void KeepSamples(std::size_t count);
  void ReleaseKept();

 private:
  class Callback;
  ovl::ComPtr<IBaseFilter> m_grabber;
  ovl::ComPtr<IBaseFilter> m_renderer;
  Callback* m_callback = nullptr;  // reference held
};

}  // namespace ovl::testing

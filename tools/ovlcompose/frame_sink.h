#pragma once
// The end of the composing graph: a Sample Grabber whose callback appends
// every composed frame to the output AVI and keeps the snapshot frame,
// followed by a Null Renderer.
#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "persistence/core/com_ptr.h"
#include "tools/avi_writer.h"

namespace ovlcompose {

class FrameSink {
 public:
  FrameSink();
  ~FrameSink();
  FrameSink(const FrameSink&) = delete;
  FrameSink& operator=(const FrameSink&) = delete;

  HRESULT AddTo(IGraphBuilder* graph);
  // Connects `output` to the grabber and the grabber to the renderer, then
  // opens the AVI at the negotiated frame size.
  HRESULT Connect(IGraphBuilder* graph, IPin* output, const std::wstring& aviPath, int snapshotFrame);
  // Closes the AVI; false when a write failed.
  bool Finish();

  long Frames() const { return frames_.load(); }
  long Width() const { return width_; }
  long Height() const { return height_; }
  // The snapshot (bottom-up rows), or the last frame if the stream was shorter.
  std::vector<unsigned char> Snapshot();
  bool WriteFailed() const { return failed_.load(); }

 private:
  class Callback;
  void OnFrame(const unsigned char* pixels, long length);

  ovl::ComPtr<IBaseFilter> grabber_;
  ovl::ComPtr<IBaseFilter> renderer_;
  ovl::ComPtr<Callback> callback_;
  ovl::tools::AviWriter avi_;
  long width_ = 0, height_ = 0, frameBytes_ = 0;
  int snapshotFrame_ = 0;
  std::atomic<long> frames_{0};
  std::atomic<bool> failed_{false};
  std::mutex mutex_;
  std::vector<unsigned char> snapshot_, last_;
};

// Writes a 24-bit bottom-up frame as a PNG through the imaging component.
HRESULT WritePngSnapshot(const std::wstring& path, long width, long height, const std::vector<unsigned char>& pixels);

}  // namespace ovlcompose

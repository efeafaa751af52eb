#pragma once
// A test source filter with one output pin ("Out") that delivers RGB24
// FORMAT_VideoInfo frames of a fixed size exactly as a test scripts them:
// times or none, zero-length samples, discontinuity, sync point and preroll
// marks, an in-sample type change, pixel bytes of the test's choice; plus end
// of stream, flushing and new segments. Commands run in order on the
// filter's own streaming thread, which exists while the filter is paused or
// running; commands queued while stopped wait for the next run.
//
// The output pin is a CDynamicOutputPin: every delivery is bracketed by
// StartUsingOutputPin/StopUsingOutputPin and the pin can be blocked through
// IPinFlowControl. It needs a graph with IGraphConfig to become active.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "streaming/base/base_classes.h"

namespace ovl::testing {

struct ScriptedSample {
  bool hasTime = true;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool discontinuity = false;
  bool syncPoint = true;
  bool preroll = false;
  bool zeroLength = false;
  // Copied to the start of the frame; the rest of the frame is zero.
  std::vector<BYTE> pixels;
  // Attached to the sample as a type change when set.
  std::shared_ptr<CMediaType> typeChange;
};

// A 24-bit bottom-up RGB video type of the given size.
CMediaType MakeRgb24Type(LONG width, LONG height);
// Bytes of one RGB24 frame (rows padded to 4 bytes).
LONG Rgb24FrameBytes(LONG width, LONG height);
// Deterministic pixel bytes that differ from frame to frame.
std::vector<BYTE> PatternFrame(LONG width, LONG height, int seed);

class CScriptedSource;

class CScriptedSourcePin : public CDynamicOutputPin {
 public:
  CScriptedSourcePin(CScriptedSource* filter, CCritSec* lock, HRESULT* phr);

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  // Counts quality messages from downstream.
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

  LONG QualityMessages() const { return m_qualityMessages; }

 private:
  CScriptedSource* m_source;
  volatile LONG m_qualityMessages = 0;
};

class CScriptedSource : public CBaseFilter {
 public:
  // A new source with one reference, or null with *phr set.
  static CScriptedSource* Create(LONG width, LONG height, HRESULT* phr);

  // --- the script ---
  void Queue(const ScriptedSample& sample);
  void QueueEndOfStream();
  void QueueBeginFlush();
  void QueueEndFlush();
  void QueueNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  // Waits until every queued command has run; false on timeout.
  bool WaitUntilDone(DWORD timeoutMs);
  // Waits until at least `count` commands have run; false on timeout.
  bool WaitForResults(size_t count, DWORD timeoutMs);
  // The result of each command run so far, in order.
  std::vector<HRESULT> Results();

  CScriptedSourcePin* OutputPin() { return m_pin.get(); }
  const CMediaType& FrameType() const { return m_type; }
  LONG FrameBytes() const;

  // CBaseFilter
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? m_pin.get() : nullptr; }
  // Hands the output pin the graph's IGraphConfig and our stop event.
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  // Start and end the streaming thread.
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Stop() override;

 private:
  enum class Kind { Sample, EndOfStream, BeginFlush, EndFlush, NewSegment };
  struct Command {
    Kind kind;
    ScriptedSample sample;
    REFERENCE_TIME segmentStart = 0;
    REFERENCE_TIME segmentStop = 0;
    double rate = 1.0;
  };

  CScriptedSource(LONG width, LONG height, HRESULT* phr);
  ~CScriptedSource() override;

  void Push(Command command);
  void StreamingLoop();
  HRESULT Execute(const Command& command);
  HRESULT DeliverSample(const ScriptedSample& sample);

  CCritSec m_stateLock;
  CMediaType m_type;
  HANDLE m_stopEvent;
  std::unique_ptr<CScriptedSourcePin> m_pin;

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<Command> m_commands;
  std::vector<HRESULT> m_results;
  bool m_busy = false;
  bool m_exit = false;
  std::thread m_thread;
};

}  // namespace ovl::testing

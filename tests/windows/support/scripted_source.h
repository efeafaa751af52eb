#pragma once
// A test source filter with one output pin ("Out") that delivers RGB24
// FORMAT_VideoInfo frames of a fixed size exactly as a test scripts them:
// times or none, discontinuity, sync point and preroll marks, an in-sample
// type change, pixel bytes of the test's choice; plus end of stream and
// flushing. Commands run in order on the filter's own streaming thread,
// which exists while the filter is paused or running; commands queued while
// stopped wait for the next run.
//
// The output pin is a CDynamicOutputPin: every delivery is bracketed by
// StartUsingOutputPin/StopUsingOutputPin and the pin can be blocked through
// IPinFlowControl. It needs a graph with IGraphConfig to become active.
//
// Optionally (EnableSeeking) the pin answers IMediaSeeking like a seekable
// file source: a change of position flushes downstream from the caller's
// thread, waits for the streaming thread to come back, and streaming goes on
// from the new position after a new segment. Without a generated stream the
// script stays as it is and only the flush happens. A generated stream
// (SetStream) delivers numbered frames at a fixed rate, after the script,
// from the current position to the stop position, then end of stream.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
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

// Frames of a generated stream: frame n of a stream tagged `tag` is one solid
// colour (blue n & 0xFF, green n >> 8, red tag), so that a composed picture
// tells which frame of which stream it shows.
struct GeneratedStream {
  REFERENCE_TIME frameDuration = 400000;
  LONGLONG frameCount = 0;  // the stream's length; its duration is frameCount * frameDuration
  BYTE tag = 0;
};
void FillStreamFrame(BYTE tag, LONGLONG index, BYTE* data, LONG bytes);
// The stream frame a 24-bit pixel shows, when it is one: false otherwise.
bool DecodeStreamPixel(const BYTE* pixel, BYTE* tag, LONGLONG* index);

// One IMediaSeeking::SetPositions call as the source received it.
struct SeekCall {
  bool hasCurrent = false;
  LONGLONG current = 0;
  DWORD currentFlags = 0;
  bool hasStop = false;
  LONGLONG stop = 0;
  DWORD stopFlags = 0;
};

class CScriptedSourcePin;

class CScriptedSource : public CBaseFilter {
 public:
  // A new source with one reference, or null with *phr set.
  static CScriptedSource* Create(LONG width, LONG height, HRESULT* phr);

  // --- the script ---
  void Queue(const ScriptedSample& sample);
  void QueueEndOfStream();
  void QueueBeginFlush();
  void QueueEndFlush();
  // Wait until every queued command has run, or until at least `count`
  // commands have run; false on timeout.
  bool WaitUntilDone(DWORD timeoutMs) { return Wait(timeoutMs, [this] { return m_commands.empty() && !m_busy; }); }
  bool WaitForResults(size_t count, DWORD timeoutMs) {
    return Wait(timeoutMs, [this, count] { return m_results.size() >= count; });
  }
  // The result of each command run so far, in order.
  std::vector<HRESULT> Results() { return Locked([this] { return m_results; }); }

  // IMediaSeeking and IMediaPosition (duration and current position only)
  // once seeking is enabled.
  CDynamicOutputPin* OutputPin();
  const CMediaType& FrameType() const { return m_type; }
  LONG FrameBytes() const;

  // --- set-up, before the pin connects ---
  // The AvgTimePerFrame the media type announces (400000 unless set).
  void SetFrameDuration(REFERENCE_TIME duration);
  // A generated stream (its frame duration becomes the type's); the position
  // goes back to its start.
  void SetStream(const GeneratedStream& stream);
  // Whether the pin offers IMediaSeeking, and whether it knows frame numbers
  // as a time format besides media time.
  void EnableSeeking(bool frameFormat = false) {
    Locked([&] { m_seekable = true, m_frameFormat = frameFormat; });
  }

  // --- seeking (also reached through the pin's IMediaSeeking) ---
  // Called at the start of every SetPositions, on the caller's thread.
  void SetSeekHook(std::function<void()> hook) { Locked([&] { m_seekHook = std::move(hook); }); }
  std::vector<SeekCall> SeekCalls() { return Locked([this] { return m_seekCalls; }); }
  // Begin-flush downstream from the calling thread, waits until the
  // streaming thread is back from what it was doing, then end-flush; the
  // script and the stream position stay. S_OK or the first failure.
  HRESULT Flush();
  // Waits until the generated stream has sent its end of stream; false on timeout.
  bool WaitUntilStreamEnded(DWORD timeoutMs) { return Wait(timeoutMs, [this] { return m_streamEnded && !m_busy; }); }
  // Frames of the generated stream delivered so far (any result).
  LONGLONG StreamFramesDelivered() { return Locked([this] { return m_streamFramesDelivered; }); }

  // CBaseFilter
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? OutputPin() : nullptr; }
  // Hands the output pin the graph's IGraphConfig and our stop event.
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  // Start and end the streaming thread.
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Stop() override;

 private:
  friend class CScriptedSourcePin;
  using Command = std::function<HRESULT()>;

  CScriptedSource(LONG width, LONG height, HRESULT* phr);
  ~CScriptedSource() override;

  template <class F>
  auto Locked(F&& call) -> decltype(call()) {
    std::lock_guard<std::mutex> guard(m_mutex);
    return call();
  }
  bool Wait(DWORD timeoutMs, const std::function<bool()>& done) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
  }
  void Push(Command command);
  void StreamingLoop();
  void RunStreamStep();
  HRESULT DeliverSample(const ScriptedSample& sample);
  // Flushes downstream around `change`, with the streaming thread held.
  HRESULT FlushAround(const std::function<void()>& change);
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags);
  // With m_mutex held: times in media time, converted to and from the time format.
  REFERENCE_TIME FrameDuration() const;
  LONGLONG DurationNow() const;
  REFERENCE_TIME PositionNow() const { return m_streaming ? m_nextFrame * FrameDuration() : m_scriptPosition; }
  bool Frames(const GUID& format) const { return IsEqualGUID(format, TIME_FORMAT_FRAME); }
  bool FormatSupported(const GUID& format) const {
    return IsEqualGUID(format, TIME_FORMAT_MEDIA_TIME) || (Frames(format) && m_frameFormat);
  }
  LONGLONG ToFormat(LONGLONG time) const { return Frames(m_timeFormat) ? time / FrameDuration() : time; }
  LONGLONG FromFormat(LONGLONG value) const { return Frames(m_timeFormat) ? value * FrameDuration() : value; }

  CCritSec m_stateLock;
  CMediaType m_type;
  HANDLE m_stopEvent;
  std::unique_ptr<CScriptedSourcePin> m_pin;

  std::mutex m_mutex;  // guards everything below
  std::condition_variable m_changed;
  std::deque<Command> m_commands;
  std::vector<HRESULT> m_results;
  bool m_busy = false;
  bool m_exit = false;
  bool m_hold = false;  // a flush is in progress: start nothing new
  std::thread m_thread;

  bool m_seekable = false;
  bool m_frameFormat = false;
  GUID m_timeFormat = TIME_FORMAT_MEDIA_TIME;
  double m_rate = 1.0;
  std::function<void()> m_seekHook;
  std::vector<SeekCall> m_seekCalls;
  bool m_streaming = false;  // a generated stream is set
  GeneratedStream m_stream;
  LONGLONG m_nextFrame = 0;
  REFERENCE_TIME m_segmentStart = 0;
  REFERENCE_TIME m_stopPosition = 0;
  bool m_segmentDue = false;
  bool m_streamEnded = false;
  LONGLONG m_streamFramesDelivered = 0;
  REFERENCE_TIME m_scriptPosition = 0;  // the position of a source without a generated stream
};

}  // namespace ovl::testing

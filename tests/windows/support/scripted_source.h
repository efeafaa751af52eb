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
//
// Optionally (EnableSeeking) the pin answers IMediaSeeking like a seekable
// file source: a change of position flushes downstream from the caller's
// thread, waits for the streaming thread to come back, and streaming goes on
// from the new position after a new segment. Without a generated stream the
// script stays as it is and only the flush happens. A generated stream
// (SetStream) delivers numbered frames at a fixed rate, after the script,
// from the current position to the stop position, then end of stream.
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

class CScriptedSource;

class CScriptedSourcePin : public CDynamicOutputPin, public IMediaSeeking, public IMediaPosition {
 public:
  CScriptedSourcePin(CScriptedSource* filter, CCritSec* lock, HRESULT* phr);

  DECLARE_IUNKNOWN
  // IMediaSeeking and IMediaPosition only once the source enables seeking.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IMediaSeeking, answered by the source.
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                              const GUID* sourceFormat) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;

  // IMediaPosition, in seconds over the same positions (no automation). A
  // seeking pass-through downstream forwards IMediaPosition calls to this
  // pin's own IMediaPosition, not through IMediaSeeking (Wine 8's does; a
  // source without one answers E_NOTIMPL there).
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* length) override;
  HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME time) override;
  HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME* time) override;
  HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME* time) override;
  HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME time) override;
  HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME* time) override;
  HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Rate(double rate) override { return SetRate(rate); }
  HRESULT STDMETHODCALLTYPE get_Rate(double* rate) override { return GetRate(rate); }
  HRESULT STDMETHODCALLTYPE CanSeekForward(LONG* can) override;
  HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG* can) override;

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

  // --- set-up, before the pin connects ---
  // The AvgTimePerFrame the media type announces (400000 unless set).
  void SetFrameDuration(REFERENCE_TIME duration);
  // A generated stream (its frame duration becomes the type's); the position
  // goes back to its start.
  void SetStream(const GeneratedStream& stream);
  // Whether the pin offers IMediaSeeking, and whether it knows frame numbers
  // as a time format besides media time.
  void EnableSeeking(bool frameFormat = false);

  // --- seeking (also reached through the pin's IMediaSeeking) ---
  // Called at the start of every SetPositions, on the caller's thread.
  void SetSeekHook(std::function<void()> hook);
  std::vector<SeekCall> SeekCalls();
  // Begin-flush downstream from the calling thread, waits until the
  // streaming thread is back from what it was doing, then end-flush; the
  // script and the stream position stay. S_OK or the first failure.
  HRESULT Flush();
  // Waits until the generated stream has sent its end of stream; false on timeout.
  bool WaitUntilStreamEnded(DWORD timeoutMs);
  // Frames of the generated stream delivered so far (any result).
  LONGLONG StreamFramesDelivered();

  // CBaseFilter
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? m_pin.get() : nullptr; }
  // Hands the output pin the graph's IGraphConfig and our stop event.
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  // Start and end the streaming thread.
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Stop() override;

 private:
  friend class CScriptedSourcePin;
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
  // With m_mutex held: whether the generated stream has something to send.
  bool StreamHasWork() const;
  void RunStreamStep();
  HRESULT DeliverStreamFrame(LONGLONG index, REFERENCE_TIME segmentStart);
  // Flushes downstream around `change`, with the streaming thread held.
  HRESULT FlushAround(const std::function<void()>& change);
  REFERENCE_TIME FrameDuration() const;
  LONGLONG DurationNow() const;  // media time
  LONGLONG ToFormat(LONGLONG mediaTime) const;
  LONGLONG FromFormat(LONGLONG value) const;
  HRESULT SetPositionsImpl(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags);

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
  bool m_hold = false;  // a flush is in progress: start nothing new
  std::thread m_thread;

  // Seeking and the generated stream, guarded by m_mutex.
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

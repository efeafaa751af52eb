#include "tests/windows/support/scripted_source.h"

#include "tests/windows/support/com_apartment.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ovl::testing {

LONG Rgb24FrameBytes(LONG width, LONG height) { return ((width * 24 + 31) / 32) * 4 * (height < 0 ? -height : height); }

CMediaType MakeRgb24Type(LONG width, LONG height) {
  CMediaType type;
  type.SetType(&MEDIATYPE_Video);
  type.SetSubtype(&MEDIASUBTYPE_RGB24);
  type.SetFormatType(&FORMAT_VideoInfo);
  type.SetTemporalCompression(FALSE);
  type.SetSampleSize(static_cast<ULONG>(Rgb24FrameBytes(width, height)));
  auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  if (info != nullptr) {
    info->AvgTimePerFrame = 400000;  // 25 frames per second
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 24;
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiHeader.biSizeImage = static_cast<DWORD>(Rgb24FrameBytes(width, height));
  }
  return type;
}

std::vector<BYTE> PatternFrame(LONG width, LONG height, int seed) {
  std::vector<BYTE> bytes(static_cast<size_t>(Rgb24FrameBytes(width, height)));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>((i * 7 + static_cast<size_t>(seed) * 31) & 0xFF);
  return bytes;
}

void FillStreamFrame(BYTE tag, LONGLONG index, BYTE* data, LONG bytes) {
  for (LONG i = 0; i + 2 < bytes; i += 3) {
    data[i] = static_cast<BYTE>(index & 0xFF);
    data[i + 1] = static_cast<BYTE>((index >> 8) & 0xFF);
    data[i + 2] = tag;
  }
}

bool DecodeStreamPixel(const BYTE* pixel, BYTE* tag, LONGLONG* index) {
  if (pixel[2] == 0) return false;  // tags start at 1; black is no stream frame
  *tag = pixel[2];
  *index = pixel[0] | (static_cast<LONGLONG>(pixel[1]) << 8);
  return true;
}

namespace {
constexpr DWORD kCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                                AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
constexpr LONGLONG kScriptDuration = 100000000;  // 10 s for a source without a generated stream
constexpr double kUnitsPerSecond = 10000000.0;

// Stores `value` through `out`.
template <class T>
HRESULT Answer(T* out, T value) {
  CheckPointer(out, E_POINTER);
  *out = value;
  return S_OK;
}
}  // namespace

// --- output pin ---

class CScriptedSourcePin : public CDynamicOutputPin, public IMediaSeeking, public IMediaPosition {
 public:
  CScriptedSourcePin(CScriptedSource* filter, CCritSec* lock, HRESULT* phr)
      : CDynamicOutputPin(TEXT("Scripted source output"), filter, lock, phr, L"Out"), s(*filter) {}

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    CheckPointer(ppv, E_POINTER);
    if (s.m_seekable) {
      if (IsEqualIID(riid, IID_IMediaSeeking)) return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
      if (IsEqualIID(riid, IID_IMediaPosition)) return GetInterface(static_cast<IMediaPosition*>(this), ppv);
    }
    return CDynamicOutputPin::NonDelegatingQueryInterface(riid, ppv);
  }

  HRESULT CheckMediaType(const CMediaType* type) override {
    if (!IsEqualGUID(*type->Type(), MEDIATYPE_Video) || !IsEqualGUID(*type->Subtype(), MEDIASUBTYPE_RGB24) ||
        !IsEqualGUID(*type->FormatType(), FORMAT_VideoInfo) || type->FormatLength() < sizeof(VIDEOINFOHEADER)) {
      return S_FALSE;
    }
    const auto& offered = reinterpret_cast<const VIDEOINFOHEADER*>(type->Format())->bmiHeader;
    const auto& own = reinterpret_cast<const VIDEOINFOHEADER*>(s.FrameType().Format())->bmiHeader;
    const bool same = offered.biWidth == own.biWidth && offered.biHeight == own.biHeight && offered.biBitCount == 24;
    return same ? S_OK : S_FALSE;
  }
  HRESULT GetMediaType(int position, CMediaType* type) override {
    return position < 0 ? E_INVALIDARG : position > 0 ? VFW_S_NO_MORE_ITEMS : type->Set(s.FrameType());
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    request->cBuffers = std::max<long>(request->cBuffers, 2);
    request->cbBuffer = std::max<long>(request->cbBuffer, s.FrameBytes());
    if (request->cbAlign <= 0) request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual = {};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= s.FrameBytes() && actual.cBuffers >= 1 ? S_OK : E_FAIL;
  }

  // IMediaSeeking: a file source's answers, in media time or frame numbers.
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* out) override { return Answer(out, kCapabilities); }
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override {
    CheckPointer(capabilities, E_POINTER);
    const DWORD asked = *capabilities;
    *capabilities &= kCapabilities;
    return *capabilities == asked ? S_OK : *capabilities != 0 ? S_FALSE : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override {
    CheckPointer(format, E_POINTER);
    return s.FormatSupported(*format) ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* out) override { return Answer(out, TIME_FORMAT_MEDIA_TIME); }
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* out) override {
    return Answer(out, s.Locked([&] { return s.m_timeFormat; }));
  }
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override {
    CheckPointer(format, E_POINTER);
    return s.Locked([&] { return IsEqualGUID(*format, s.m_timeFormat); }) ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override {
    if (IsFormatSupported(format) != S_OK) return format == nullptr ? E_POINTER : E_INVALIDARG;
    return s.Locked([&] { return s.m_timeFormat = *format, S_OK; });
  }
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* out) override {
    return Answer(out, s.Locked([&] { return s.ToFormat(s.DurationNow()); }));
  }
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* out) override {
    return Answer(out, s.Locked([&] { return s.ToFormat(s.m_stopPosition); }));
  }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override { return GetPositions(current, nullptr); }
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                              const GUID* sourceFormat) override {
    CheckPointer(target, E_POINTER);
    return s.Locked([&] {
      const GUID from = sourceFormat != nullptr ? *sourceFormat : s.m_timeFormat;
      const GUID to = targetFormat != nullptr ? *targetFormat : s.m_timeFormat;
      if (!s.FormatSupported(from) || !s.FormatSupported(to)) return E_INVALIDARG;
      const LONGLONG media = s.Frames(from) ? source * s.FrameDuration() : source;
      *target = s.Frames(to) ? media / s.FrameDuration() : media;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override {
    return s.SetPositions(current, currentFlags, stop, stopFlags);
  }
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override {
    s.Locked([&] {
      if (current != nullptr) *current = s.ToFormat(s.PositionNow());
      if (stop != nullptr) *stop = s.ToFormat(s.m_stopPosition);
    });
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override {
    if (earliest != nullptr) *earliest = 0;
    if (latest != nullptr) *latest = s.Locked([&] { return s.ToFormat(s.DurationNow()); });
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override {
    return rate <= 0.0 ? E_INVALIDARG : s.Locked([&] { return s.m_rate = rate, S_OK; });
  }
  HRESULT STDMETHODCALLTYPE GetRate(double* out) override { return Answer(out, s.Locked([&] { return s.m_rate; })); }
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* out) override { return Answer(out, 0LL); }

  // IMediaPosition: only what the tests use through a seeking pass-through
  // downstream, which forwards IMediaPosition calls to this pin's own
  // IMediaPosition (Wine 8's does, not through IMediaSeeking).
  HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* out) override {
    return Answer(out, s.Locked([&] { return s.DurationNow() / kUnitsPerSecond; }));
  }
  HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME time) override {
    LONGLONG at = static_cast<LONGLONG>(time * kUnitsPerSecond);
    return s.SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Rate(double) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Rate(double*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanSeekForward(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG*) override { return E_NOTIMPL; }

 private:
  CScriptedSource& s;
};

// --- filter ---

CScriptedSource* CScriptedSource::Create(LONG width, LONG height, HRESULT* phr) {
  HRESULT hr = S_OK;
  auto* source = new (std::nothrow) CScriptedSource(width, height, &hr);
  if (source == nullptr) hr = E_OUTOFMEMORY;
  if (source != nullptr && FAILED(hr)) {
    delete source;
    source = nullptr;
  }
  if (source != nullptr) source->NonDelegatingAddRef();
  if (phr != nullptr) *phr = hr;
  return source;
}

CScriptedSource::CScriptedSource(LONG width, LONG height, HRESULT* phr)
    : CBaseFilter(TEXT("Scripted source"), nullptr, &m_stateLock, CLSID_NULL),
      m_type(MakeRgb24Type(width, height)),
      m_stopEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (m_stopEvent == nullptr) *phr = E_FAIL;
  m_stopPosition = kScriptDuration;
  m_pin.reset(new (std::nothrow) CScriptedSourcePin(this, &m_stateLock, phr));
  if (!m_pin) *phr = E_OUTOFMEMORY;
}

CScriptedSource::~CScriptedSource() {
  if (m_thread.joinable()) {
    Locked([&] { m_exit = true; });
    m_changed.notify_all();
    if (m_pin) m_pin->Inactive();  // releases a thread waiting for a buffer or an unblock
    m_thread.join();
  }
  m_pin.reset();
  if (m_stopEvent != nullptr) CloseHandle(m_stopEvent);
}

CDynamicOutputPin* CScriptedSource::OutputPin() { return m_pin.get(); }

LONG CScriptedSource::FrameBytes() const {
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(m_type.Format());
  return Rgb24FrameBytes(info->bmiHeader.biWidth, info->bmiHeader.biHeight);
}

REFERENCE_TIME CScriptedSource::FrameDuration() const {
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(m_type.Format());
  return info->AvgTimePerFrame > 0 ? info->AvgTimePerFrame : 400000;
}

LONGLONG CScriptedSource::DurationNow() const {
  return m_streaming ? m_stream.frameCount * m_stream.frameDuration : kScriptDuration;
}

void CScriptedSource::SetFrameDuration(REFERENCE_TIME duration) {
  Locked([&] { reinterpret_cast<VIDEOINFOHEADER*>(m_type.Format())->AvgTimePerFrame = duration; });
}

void CScriptedSource::SetStream(const GeneratedStream& stream) {
  Locked([&] {
    reinterpret_cast<VIDEOINFOHEADER*>(m_type.Format())->AvgTimePerFrame = stream.frameDuration;
    m_stream = stream;
    m_streaming = true;
    m_nextFrame = 0;
    m_segmentStart = 0;
    m_stopPosition = stream.frameCount * stream.frameDuration;
    m_segmentDue = true;
    m_streamEnded = false;
  });
}

HRESULT CScriptedSource::FlushAround(const std::function<void()>& change) {
  if (!m_thread.joinable()) {  // not streaming: nothing to flush
    Locked(change);
    return S_OK;
  }
  Locked([&] { m_hold = true; });
  // From this thread, as a seeking source does: downstream lets go of the
  // streaming thread, which then comes back here.
  const HRESULT begin = m_pin->DeliverBeginFlush();
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    change();
  }
  const HRESULT end = m_pin->DeliverEndFlush();
  Locked([&] { m_hold = false; });
  m_changed.notify_all();
  return FAILED(begin) ? begin : end;
}

HRESULT CScriptedSource::Flush() {
  CAutoLock lock(&m_stateLock);
  return FlushAround([] {});
}

HRESULT CScriptedSource::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
  std::function<void()> hook = Locked([&] {
    m_seekCalls.push_back({current != nullptr, current != nullptr ? *current : 0, currentFlags, stop != nullptr,
                           stop != nullptr ? *stop : 0, stopFlags});
    return m_seekHook;
  });
  if (hook) hook();
  const DWORD positioning = currentFlags & AM_SEEKING_PositioningBitsMask;
  const DWORD stopPositioning = stopFlags & AM_SEEKING_PositioningBitsMask;
  if ((positioning != AM_SEEKING_NoPositioning && current == nullptr) ||
      (stopPositioning != AM_SEEKING_NoPositioning && stop == nullptr)) {
    return E_POINTER;
  }

  CAutoLock state(&m_stateLock);  // one position change at a time, never during Pause or Stop
  REFERENCE_TIME target = 0, newStop = 0;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    // The position a request names; relative ones count from `base`.
    auto requested = [this](DWORD how, const LONGLONG* value, LONGLONG base) -> LONGLONG {
      if (how == AM_SEEKING_AbsolutePositioning) return FromFormat(*value);
      if (how == AM_SEEKING_RelativePositioning || how == AM_SEEKING_IncrementalPositioning) {
        return base + FromFormat(*value);
      }
      return base;
    };
    // Positions land on frame starts, as in a file of whole frames.
    const REFERENCE_TIME frame = FrameDuration();
    target = std::clamp<LONGLONG>(requested(positioning, current, PositionNow()), 0, DurationNow()) / frame * frame;
    newStop = std::clamp<LONGLONG>(requested(stopPositioning, stop, m_stopPosition), 0, DurationNow());
    if ((currentFlags & AM_SEEKING_ReturnTime) && current != nullptr) *current = ToFormat(target);
    if ((stopFlags & AM_SEEKING_ReturnTime) && stop != nullptr) *stop = ToFormat(newStop);
    if (positioning == AM_SEEKING_NoPositioning) {
      m_stopPosition = newStop;
      return S_OK;
    }
  }
  FlushAround([&] {
    m_stopPosition = newStop;
    m_scriptPosition = target;
    m_nextFrame = target / FrameDuration();
    m_segmentStart = target;
    m_segmentDue = m_streaming;
    m_streamEnded = false;
  });
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSource::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  CAutoLock lock(&m_stateLock);
  IGraphConfig* config = nullptr;
  if (graph != nullptr) {
    const HRESULT hr = graph->QueryInterface(IID_IGraphConfig, reinterpret_cast<void**>(&config));
    if (FAILED(hr)) return hr;
  }
  const HRESULT hr = CBaseFilter::JoinFilterGraph(graph, name);
  if (SUCCEEDED(hr)) m_pin->SetConfigInfo(config, graph != nullptr ? m_stopEvent : nullptr);
  if (config != nullptr) config->Release();  // the graph outlives its filters' use of it
  return hr;
}

HRESULT STDMETHODCALLTYPE CScriptedSource::Pause() {
  CAutoLock lock(&m_stateLock);
  const bool starting = m_State == State_Stopped;
  const HRESULT hr = CBaseFilter::Pause();
  if (FAILED(hr)) return hr;
  if (starting && !m_thread.joinable()) {
    Locked([&] {
      m_exit = false;
      m_segmentDue = m_streaming;  // every start of streaming begins a segment
    });
    m_thread = std::thread(&CScriptedSource::StreamingLoop, this);
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CScriptedSource::Stop() {
  std::thread worker;
  HRESULT hr = S_OK;
  {
    CAutoLock lock(&m_stateLock);
    Locked([&] { m_exit = true; });
    m_changed.notify_all();
    // Decommits the allocator and sets the stop event, so that the thread
    // leaves GetBuffer or StartUsingOutputPin.
    hr = CBaseFilter::Stop();
    worker = std::move(m_thread);
  }
  if (worker.joinable()) worker.join();
  return hr;
}

void CScriptedSource::Push(Command command) {
  Locked([&] { m_commands.push_back(std::move(command)); });
  m_changed.notify_all();
}

void CScriptedSource::Queue(const ScriptedSample& sample) {
  Push([this, sample] { return DeliverSample(sample); });
}
void CScriptedSource::QueueEndOfStream() {
  Push([this] { return m_pin->Using([this] { return m_pin->DeliverEndOfStream(); }); });
}
void CScriptedSource::QueueBeginFlush() { Push([this] { return m_pin->DeliverBeginFlush(); }); }
void CScriptedSource::QueueEndFlush() { Push([this] { return m_pin->DeliverEndFlush(); }); }

// Runs the script's commands, then steps of the generated stream, each with
// m_busy set, so that a position change waits for it.
void CScriptedSource::StreamingLoop() {
  const ovl::testing::ComApartment com;
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] {
      return m_exit || (!m_hold && (!m_commands.empty() || (m_streaming && !m_streamEnded)));
    });
    if (m_exit) break;
    Command command;
    if (!m_commands.empty()) {
      command = std::move(m_commands.front());
      m_commands.pop_front();
    }
    m_busy = true;
    lock.unlock();
    HRESULT hr = S_OK;
    if (command) hr = command();
    else RunStreamStep();
    lock.lock();
    if (command) m_results.push_back(hr);
    m_busy = false;
    m_changed.notify_all();
  }
}

// A new segment when one is due, else the next frame, else end of stream at
// the stop position.
void CScriptedSource::RunStreamStep() {
  enum { Segment, Frame, End } step = End;
  LONGLONG index = 0;
  REFERENCE_TIME segmentStart = 0, segmentStop = 0;
  Locked([&] {
    segmentStart = m_segmentStart;
    segmentStop = m_stopPosition;
    if (m_segmentDue) {
      step = Segment;
      m_segmentDue = false;
    } else if (m_nextFrame * m_stream.frameDuration >= m_stopPosition) {
      step = End;
      m_streamEnded = true;
    } else {
      step = Frame;
      index = m_nextFrame++;
    }
  });
  if (step != Frame) {
    m_pin->Using([&] {
      return step == Segment ? m_pin->DeliverNewSegment(segmentStart, segmentStop, 1.0) : m_pin->DeliverEndOfStream();
    });
    return;
  }
  // Times count from the segment's start, as after a seek in a file.
  ScriptedSample sample;
  sample.start = index * m_stream.frameDuration - segmentStart;
  sample.stop = sample.start + m_stream.frameDuration;
  sample.pixels.resize(static_cast<size_t>(FrameBytes()));
  FillStreamFrame(m_stream.tag, index, sample.pixels.data(), FrameBytes());
  DeliverSample(sample);
  Locked([&] { ++m_streamFramesDelivered; });
}

HRESULT CScriptedSource::DeliverSample(const ScriptedSample& sample) {
  return m_pin->Using([&] {
    REFERENCE_TIME start = sample.start, stop = sample.stop;
    REFERENCE_TIME* startTime = sample.hasTime ? &start : nullptr;
    REFERENCE_TIME* stopTime = sample.hasTime ? &stop : nullptr;
    IMediaSample* media = nullptr;
    HRESULT hr = m_pin->GetDeliveryBuffer(&media, startTime, stopTime, 0);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    media->GetPointer(&data);
    const LONG length = std::min(FrameBytes(), media->GetSize());
    std::memset(data, 0, static_cast<size_t>(length));
    std::memcpy(data, sample.pixels.data(), std::min(sample.pixels.size(), static_cast<size_t>(length)));
    media->SetActualDataLength(length);
    media->SetTime(startTime, stopTime);
    media->SetDiscontinuity(sample.discontinuity ? TRUE : FALSE);
    media->SetSyncPoint(sample.syncPoint ? TRUE : FALSE);
    media->SetPreroll(sample.preroll ? TRUE : FALSE);
    if (sample.typeChange) media->SetMediaType(sample.typeChange.get());
    hr = m_pin->Deliver(media);
    media->Release();
    return hr;
  });
}

}  // namespace ovl::testing

#include "tests/windows/support/scripted_source.h"

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

// --- output pin ---

CScriptedSourcePin::CScriptedSourcePin(CScriptedSource* filter, CCritSec* lock, HRESULT* phr)
    : CDynamicOutputPin(TEXT("Scripted source output"), filter, lock, phr, L"Out"), m_source(filter) {}

HRESULT CScriptedSourcePin::CheckMediaType(const CMediaType* type) {
  const CMediaType& ours = m_source->FrameType();
  if (!IsEqualGUID(*type->Type(), MEDIATYPE_Video) || !IsEqualGUID(*type->Subtype(), MEDIASUBTYPE_RGB24) ||
      !IsEqualGUID(*type->FormatType(), FORMAT_VideoInfo) || type->FormatLength() < sizeof(VIDEOINFOHEADER)) {
    return S_FALSE;
  }
  const auto* offered = reinterpret_cast<const VIDEOINFOHEADER*>(type->Format());
  const auto* own = reinterpret_cast<const VIDEOINFOHEADER*>(ours.Format());
  if (offered->bmiHeader.biWidth != own->bmiHeader.biWidth || offered->bmiHeader.biHeight != own->bmiHeader.biHeight ||
      offered->bmiHeader.biBitCount != 24) {
    return S_FALSE;
  }
  return S_OK;
}

HRESULT CScriptedSourcePin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  return type->Set(m_source->FrameType());
}

HRESULT CScriptedSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = std::max<long>(request->cBuffers, 2);
  request->cbBuffer = std::max<long>(request->cbBuffer, m_source->FrameBytes());
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual = {};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= m_source->FrameBytes() && actual.cBuffers >= 1 ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::Notify(IBaseFilter* sender, Quality /*quality*/) {
  CheckPointer(sender, E_POINTER);
  InterlockedIncrement(&m_qualityMessages);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IMediaSeeking) && m_source->m_seekable) {
    return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
  }
  if (IsEqualIID(riid, IID_IMediaPosition) && m_source->m_seekable) {
    return GetInterface(static_cast<IMediaPosition*>(this), ppv);
  }
  return CDynamicOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

// --- seeking: a file source's answers, in media time or frame numbers ---

namespace {
constexpr DWORD kCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                                AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
constexpr LONGLONG kScriptDuration = 100000000;  // 10 s for a source without a generated stream
}  // namespace

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetCapabilities(DWORD* capabilities) {
  CheckPointer(capabilities, E_POINTER);
  *capabilities = kCapabilities;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::CheckCapabilities(DWORD* capabilities) {
  CheckPointer(capabilities, E_POINTER);
  const DWORD asked = *capabilities;
  *capabilities &= kCapabilities;
  if (*capabilities == asked) return S_OK;
  return *capabilities != 0 ? S_FALSE : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::IsFormatSupported(const GUID* format) {
  CheckPointer(format, E_POINTER);
  if (IsEqualGUID(*format, TIME_FORMAT_MEDIA_TIME)) return S_OK;
  return IsEqualGUID(*format, TIME_FORMAT_FRAME) && m_source->m_frameFormat ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::QueryPreferredFormat(GUID* format) {
  CheckPointer(format, E_POINTER);
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetTimeFormat(GUID* format) {
  CheckPointer(format, E_POINTER);
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  *format = m_source->m_timeFormat;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::IsUsingTimeFormat(const GUID* format) {
  CheckPointer(format, E_POINTER);
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  return IsEqualGUID(*format, m_source->m_timeFormat) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::SetTimeFormat(const GUID* format) {
  CheckPointer(format, E_POINTER);
  if (IsFormatSupported(format) != S_OK) return E_INVALIDARG;
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  m_source->m_timeFormat = *format;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetDuration(LONGLONG* duration) {
  CheckPointer(duration, E_POINTER);
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  *duration = m_source->ToFormat(m_source->DurationNow());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetStopPosition(LONGLONG* stop) {
  CheckPointer(stop, E_POINTER);
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  *stop = m_source->ToFormat(m_source->m_stopPosition);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetCurrentPosition(LONGLONG* current) {
  return GetPositions(current, nullptr);
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                                                LONGLONG source, const GUID* sourceFormat) {
  CheckPointer(target, E_POINTER);
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  const GUID from = sourceFormat != nullptr ? *sourceFormat : m_source->m_timeFormat;
  const GUID to = targetFormat != nullptr ? *targetFormat : m_source->m_timeFormat;
  const REFERENCE_TIME frame = m_source->FrameDuration();
  LONGLONG media = 0;
  if (IsEqualGUID(from, TIME_FORMAT_MEDIA_TIME)) {
    media = source;
  } else if (IsEqualGUID(from, TIME_FORMAT_FRAME) && m_source->m_frameFormat) {
    media = source * frame;
  } else {
    return E_INVALIDARG;
  }
  if (IsEqualGUID(to, TIME_FORMAT_MEDIA_TIME)) {
    *target = media;
  } else if (IsEqualGUID(to, TIME_FORMAT_FRAME) && m_source->m_frameFormat) {
    *target = media / frame;
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                                           DWORD stopFlags) {
  return m_source->SetPositionsImpl(current, currentFlags, stop, stopFlags);
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetPositions(LONGLONG* current, LONGLONG* stop) {
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  const REFERENCE_TIME now =
      m_source->m_streaming ? m_source->m_nextFrame * m_source->FrameDuration() : m_source->m_scriptPosition;
  if (current != nullptr) *current = m_source->ToFormat(now);
  if (stop != nullptr) *stop = m_source->ToFormat(m_source->m_stopPosition);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  if (earliest != nullptr) *earliest = 0;
  if (latest != nullptr) *latest = m_source->ToFormat(m_source->DurationNow());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::SetRate(double rate) {
  if (rate <= 0.0) return E_INVALIDARG;
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  m_source->m_rate = rate;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetRate(double* rate) {
  CheckPointer(rate, E_POINTER);
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  *rate = m_source->m_rate;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetPreroll(LONGLONG* preroll) {
  CheckPointer(preroll, E_POINTER);
  *preroll = 0;
  return S_OK;
}

namespace {
constexpr double kUnitsPerSecond = 10000000.0;
}  // namespace

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::GetTypeInfoCount(UINT* count) {
  CheckPointer(count, E_POINTER);
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::get_Duration(REFTIME* length) {
  CheckPointer(length, E_POINTER);
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  *length = static_cast<double>(m_source->DurationNow()) / kUnitsPerSecond;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::put_CurrentPosition(REFTIME time) {
  LONGLONG at = static_cast<LONGLONG>(time * kUnitsPerSecond);
  return m_source->SetPositionsImpl(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::get_CurrentPosition(REFTIME* time) {
  CheckPointer(time, E_POINTER);
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  const REFERENCE_TIME now =
      m_source->m_streaming ? m_source->m_nextFrame * m_source->FrameDuration() : m_source->m_scriptPosition;
  *time = static_cast<double>(now) / kUnitsPerSecond;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::get_StopTime(REFTIME* time) {
  CheckPointer(time, E_POINTER);
  std::lock_guard<std::mutex> guard(m_source->m_mutex);
  *time = static_cast<double>(m_source->m_stopPosition) / kUnitsPerSecond;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::put_StopTime(REFTIME time) {
  LONGLONG at = static_cast<LONGLONG>(time * kUnitsPerSecond);
  return m_source->SetPositionsImpl(nullptr, AM_SEEKING_NoPositioning, &at, AM_SEEKING_AbsolutePositioning);
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::get_PrerollTime(REFTIME* time) {
  CheckPointer(time, E_POINTER);
  *time = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::CanSeekForward(LONG* can) {
  CheckPointer(can, E_POINTER);
  *can = -1;  // OATRUE
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScriptedSourcePin::CanSeekBackward(LONG* can) {
  CheckPointer(can, E_POINTER);
  *can = -1;  // OATRUE
  return S_OK;
}

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
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_exit = true;
    }
    m_changed.notify_all();
    if (m_pin) m_pin->Inactive();  // releases a thread waiting for a buffer or an unblock
    m_thread.join();
  }
  m_pin.reset();
  if (m_stopEvent != nullptr) CloseHandle(m_stopEvent);
}

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

LONGLONG CScriptedSource::ToFormat(LONGLONG mediaTime) const {
  return IsEqualGUID(m_timeFormat, TIME_FORMAT_FRAME) ? mediaTime / FrameDuration() : mediaTime;
}

LONGLONG CScriptedSource::FromFormat(LONGLONG value) const {
  return IsEqualGUID(m_timeFormat, TIME_FORMAT_FRAME) ? value * FrameDuration() : value;
}

void CScriptedSource::SetFrameDuration(REFERENCE_TIME duration) {
  std::lock_guard<std::mutex> guard(m_mutex);
  reinterpret_cast<VIDEOINFOHEADER*>(m_type.Format())->AvgTimePerFrame = duration;
}

void CScriptedSource::SetStream(const GeneratedStream& stream) {
  std::lock_guard<std::mutex> guard(m_mutex);
  reinterpret_cast<VIDEOINFOHEADER*>(m_type.Format())->AvgTimePerFrame = stream.frameDuration;
  m_stream = stream;
  m_streaming = true;
  m_nextFrame = 0;
  m_segmentStart = 0;
  m_stopPosition = stream.frameCount * stream.frameDuration;
  m_segmentDue = true;
  m_streamEnded = false;
}

void CScriptedSource::EnableSeeking(bool frameFormat) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_seekable = true;
  m_frameFormat = frameFormat;
}

void CScriptedSource::SetSeekHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_seekHook = std::move(hook);
}

std::vector<SeekCall> CScriptedSource::SeekCalls() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_seekCalls;
}

bool CScriptedSource::WaitUntilStreamEnded(DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_streamEnded && !m_busy; });
}

LONGLONG CScriptedSource::StreamFramesDelivered() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_streamFramesDelivered;
}

HRESULT CScriptedSource::FlushAround(const std::function<void()>& change) {
  if (!m_thread.joinable()) {  // not streaming: nothing to flush
    std::lock_guard<std::mutex> guard(m_mutex);
    change();
    return S_OK;
  }
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_hold = true;
  }
  // From this thread, as a seeking source does: downstream lets go of the
  // streaming thread, which then comes back here.
  const HRESULT begin = m_pin->DeliverBeginFlush();
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    change();
  }
  const HRESULT end = m_pin->DeliverEndFlush();
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_hold = false;
  }
  m_changed.notify_all();
  return FAILED(begin) ? begin : end;
}

HRESULT CScriptedSource::Flush() {
  CAutoLock lock(&m_stateLock);
  return FlushAround([] {});
}

HRESULT CScriptedSource::SetPositionsImpl(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    SeekCall call;
    call.hasCurrent = current != nullptr;
    call.current = current != nullptr ? *current : 0;
    call.currentFlags = currentFlags;
    call.hasStop = stop != nullptr;
    call.stop = stop != nullptr ? *stop : 0;
    call.stopFlags = stopFlags;
    m_seekCalls.push_back(call);
    hook = m_seekHook;
  }
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
    const REFERENCE_TIME frame = FrameDuration();
    const REFERENCE_TIME now = m_streaming ? m_nextFrame * frame : m_scriptPosition;
    const LONGLONG duration = DurationNow();
    target = now;
    if (positioning == AM_SEEKING_AbsolutePositioning) target = FromFormat(*current);
    if (positioning == AM_SEEKING_RelativePositioning || positioning == AM_SEEKING_IncrementalPositioning) {
      target = now + FromFormat(*current);
    }
    // Positions land on frame starts, as in a file of whole frames.
    target = std::min<LONGLONG>(std::max<LONGLONG>(target, 0), duration) / frame * frame;
    newStop = m_stopPosition;
    if (stopPositioning == AM_SEEKING_AbsolutePositioning) newStop = FromFormat(*stop);
    if (stopPositioning == AM_SEEKING_RelativePositioning || stopPositioning == AM_SEEKING_IncrementalPositioning) {
      newStop = m_stopPosition + FromFormat(*stop);
    }
    newStop = std::min<LONGLONG>(std::max<LONGLONG>(newStop, 0), duration);
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
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_exit = false;
      m_segmentDue = m_streaming;  // every start of streaming begins a segment
    }
    m_thread = std::thread(&CScriptedSource::StreamingLoop, this);
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CScriptedSource::Stop() {
  std::thread worker;
  HRESULT hr = S_OK;
  {
    CAutoLock lock(&m_stateLock);
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_exit = true;
    }
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
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_commands.push_back(std::move(command));
  }
  m_changed.notify_all();
}

void CScriptedSource::Queue(const ScriptedSample& sample) {
  Command command{Kind::Sample, sample};
  Push(std::move(command));
}

void CScriptedSource::QueueEndOfStream() { Push(Command{Kind::EndOfStream, {}}); }
void CScriptedSource::QueueBeginFlush() { Push(Command{Kind::BeginFlush, {}}); }
void CScriptedSource::QueueEndFlush() { Push(Command{Kind::EndFlush, {}}); }

void CScriptedSource::QueueNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  Command command{Kind::NewSegment, {}};
  command.segmentStart = start;
  command.segmentStop = stop;
  command.rate = rate;
  Push(std::move(command));
}

bool CScriptedSource::WaitUntilDone(DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this] { return m_commands.empty() && !m_busy; });
}

bool CScriptedSource::WaitForResults(size_t count, DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this, count] { return m_results.size() >= count; });
}

std::vector<HRESULT> CScriptedSource::Results() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_results;
}

bool CScriptedSource::StreamHasWork() const { return m_streaming && !m_streamEnded; }

void CScriptedSource::StreamingLoop() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return m_exit || (!m_hold && (!m_commands.empty() || StreamHasWork())); });
    if (m_exit) break;
    if (m_commands.empty()) {
      m_busy = true;
      lock.unlock();
      RunStreamStep();
      lock.lock();
      m_busy = false;
      m_changed.notify_all();
      continue;
    }
    Command command = std::move(m_commands.front());
    m_commands.pop_front();
    m_busy = true;
    lock.unlock();
    const HRESULT hr = Execute(command);
    lock.lock();
    m_results.push_back(hr);
    m_busy = false;
    m_changed.notify_all();
  }
  lock.unlock();
  CoUninitialize();
}

// One step of the generated stream: a new segment when one is due, else the
// next frame, else end of stream at the stop position. Runs with m_busy set,
// so a position change waits for it.
void CScriptedSource::RunStreamStep() {
  enum { Segment, Frame, End } step;
  LONGLONG index = 0;
  REFERENCE_TIME segmentStart = 0, segmentStop = 0;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
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
  }
  if (step == Frame) {
    DeliverStreamFrame(index, segmentStart);
    std::lock_guard<std::mutex> guard(m_mutex);
    ++m_streamFramesDelivered;
    return;
  }
  if (FAILED(m_pin->StartUsingOutputPin())) return;
  if (step == Segment) {
    m_pin->DeliverNewSegment(segmentStart, segmentStop, 1.0);
  } else {
    m_pin->DeliverEndOfStream();
  }
  m_pin->StopUsingOutputPin();
}

HRESULT CScriptedSource::DeliverStreamFrame(LONGLONG index, REFERENCE_TIME segmentStart) {
  HRESULT hr = m_pin->StartUsingOutputPin();
  if (FAILED(hr)) return hr;
  // Times count from the segment's start, as after a seek in a file.
  REFERENCE_TIME start = index * m_stream.frameDuration - segmentStart;
  REFERENCE_TIME stop = start + m_stream.frameDuration;
  IMediaSample* media = nullptr;
  hr = m_pin->GetDeliveryBuffer(&media, &start, &stop, 0);
  if (SUCCEEDED(hr)) {
    BYTE* data = nullptr;
    media->GetPointer(&data);
    const LONG length = std::min(FrameBytes(), media->GetSize());
    std::memset(data, 0, static_cast<size_t>(length));
    FillStreamFrame(m_stream.tag, index, data, length);
    media->SetActualDataLength(length);
    media->SetTime(&start, &stop);
    media->SetSyncPoint(TRUE);
    hr = m_pin->Deliver(media);
    media->Release();
  }
  m_pin->StopUsingOutputPin();
  return hr;
}

HRESULT CScriptedSource::Execute(const Command& command) {
  switch (command.kind) {
    case Kind::Sample:
      return DeliverSample(command.sample);
    case Kind::BeginFlush:
      return m_pin->DeliverBeginFlush();
    case Kind::EndFlush:
      return m_pin->DeliverEndFlush();
    case Kind::EndOfStream:
    case Kind::NewSegment: {
      HRESULT hr = m_pin->StartUsingOutputPin();
      if (FAILED(hr)) return hr;
      hr = command.kind == Kind::EndOfStream
               ? m_pin->DeliverEndOfStream()
               : m_pin->DeliverNewSegment(command.segmentStart, command.segmentStop, command.rate);
      m_pin->StopUsingOutputPin();
      return hr;
    }
  }
  return E_UNEXPECTED;
}

HRESULT CScriptedSource::DeliverSample(const ScriptedSample& sample) {
  HRESULT hr = m_pin->StartUsingOutputPin();
  if (FAILED(hr)) return hr;
  REFERENCE_TIME start = sample.start;
  REFERENCE_TIME stop = sample.stop;
  IMediaSample* media = nullptr;
  hr = m_pin->GetDeliveryBuffer(&media, sample.hasTime ? &start : nullptr, sample.hasTime ? &stop : nullptr, 0);
  if (SUCCEEDED(hr)) {
    BYTE* data = nullptr;
    media->GetPointer(&data);
    const LONG length = sample.zeroLength ? 0 : std::min(FrameBytes(), media->GetSize());
    std::memset(data, 0, static_cast<size_t>(length));
    std::memcpy(data, sample.pixels.data(), std::min(sample.pixels.size(), static_cast<size_t>(length)));
    media->SetActualDataLength(length);
    media->SetTime(sample.hasTime ? &start : nullptr, sample.hasTime ? &stop : nullptr);
    media->SetDiscontinuity(sample.discontinuity ? TRUE : FALSE);
    media->SetSyncPoint(sample.syncPoint ? TRUE : FALSE);
    media->SetPreroll(sample.preroll ? TRUE : FALSE);
    if (sample.typeChange) media->SetMediaType(sample.typeChange.get());
    hr = m_pin->Deliver(media);
    media->Release();
  }
  m_pin->StopUsingOutputPin();
  return hr;
}

}  // namespace ovl::testing

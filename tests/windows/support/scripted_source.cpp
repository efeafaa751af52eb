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

void CScriptedSource::StreamingLoop() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return m_exit || !m_commands.empty(); });
    if (m_exit) break;
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

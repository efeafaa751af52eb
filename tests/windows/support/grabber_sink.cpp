#include "tests/windows/support/grabber_sink.h"

#include <qedit.h>

#include "tests/windows/support/graph_util.h"

namespace ovl::testing {
namespace {
// qedit's class identifiers; mingw's qedit.h does not declare them.
const CLSID kSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
}  // namespace

// Records samples; a plain COM object (not a framework object, so it is not
// counted among the module's live objects).
class GrabberSink::Callback : public ISampleGrabberCB {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISampleGrabberCB)) {
      *ppv = static_cast<ISampleGrabberCB*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }

  HRESULT STDMETHODCALLTYPE SampleCB(double /*time*/, IMediaSample* sample) override {
    CapturedFrame frame;
    BYTE* data = nullptr;
    if (SUCCEEDED(sample->GetPointer(&data)) && data != nullptr) {
      const long length = sample->GetActualDataLength();
      frame.bytes.assign(data, data + (length > 0 ? length : 0));
    }
    frame.hasTime = SUCCEEDED(sample->GetTime(&frame.start, &frame.stop));
    frame.discontinuity = sample->IsDiscontinuity() == S_OK;
    frame.syncPoint = sample->IsSyncPoint() == S_OK;
    frame.preroll = sample->IsPreroll() == S_OK;
    std::lock_guard<std::mutex> guard(m_mutex);
    m_frames.push_back(std::move(frame));
    if (m_keep > 0) {
      --m_keep;
      sample->AddRef();
      m_kept.push_back(sample);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }
  virtual ~Callback() { ReleaseKept(); }

  void Keep(std::size_t count) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_keep = count;
  }
  void ReleaseKept() {
    std::vector<IMediaSample*> kept;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      kept.swap(m_kept);
      m_keep = 0;
    }
    for (IMediaSample* sample : kept) sample->Release();
  }

  std::vector<CapturedFrame> Frames() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_frames;
  }

 private:
  volatile LONG m_refs = 1;
  std::mutex m_mutex;
  std::vector<CapturedFrame> m_frames;
  std::size_t m_keep = 0;
  std::vector<IMediaSample*> m_kept;  // references held
};

GrabberSink::~GrabberSink() {
  if (m_callback != nullptr) m_callback->Release();
}

HRESULT GrabberSink::AddTo(IGraphBuilder* graph, const GUID& majortype, const GUID& subtype) {
  HRESULT hr = CoCreateInstance(kSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, m_grabber.PutVoid());
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, m_renderer.PutVoid());
  if (FAILED(hr)) return hr;
  auto grabber = m_grabber.As<ISampleGrabber>(IID_ISampleGrabber);
  if (!grabber) return E_NOINTERFACE;
  AM_MEDIA_TYPE accepted = {};
  accepted.majortype = majortype;
  accepted.subtype = subtype;
  if (FAILED(hr = grabber->SetMediaType(&accepted))) return hr;
  if (FAILED(hr = grabber->SetBufferSamples(FALSE))) return hr;
  if (m_callback == nullptr) m_callback = new Callback();
  if (FAILED(hr = grabber->SetCallback(m_callback, 0))) return hr;

  if (FAILED(hr = graph->AddFilter(m_grabber.Get(), L"Sample Grabber"))) return hr;
  return graph->AddFilter(m_renderer.Get(), L"Null Renderer");
}

HRESULT GrabberSink::ConnectFrom(IGraphBuilder* graph, IPin* upstream) {
  auto grabberIn = FindPin(m_grabber.Get(), PINDIR_INPUT);
  auto grabberOut = FindPin(m_grabber.Get(), PINDIR_OUTPUT);
  auto rendererIn = FindPin(m_renderer.Get(), PINDIR_INPUT);
  if (!grabberIn || !grabberOut || !rendererIn) return E_UNEXPECTED;
  HRESULT hr = graph->ConnectDirect(upstream, grabberIn.Get(), nullptr);
  if (FAILED(hr)) return hr;
  return graph->ConnectDirect(grabberOut.Get(), rendererIn.Get(), nullptr);
}

void GrabberSink::KeepSamples(std::size_t count) {
  if (m_callback != nullptr) m_callback->Keep(count);
}

void GrabberSink::ReleaseKept() {
  if (m_callback != nullptr) m_callback->ReleaseKept();
}

std::vector<CapturedFrame> GrabberSink::Frames() const {
  return m_callback != nullptr ? m_callback->Frames() : std::vector<CapturedFrame>{};
}

}  // namespace ovl::testing

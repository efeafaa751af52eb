#include "tools/ovlcompose/frame_sink.h"

#include <qedit.h>
#include <wincodec.h>

#include "engine/core/pixel_image.h"
#include "tools/ovlcompose/first_pin.h"
#include "tools/ovlcompose/single_interface_object.h"

namespace ovlcompose {
namespace {
// The Sample Grabber and the Null Renderer (mingw's qedit.h declares their
// interfaces but not these class identifiers).
const CLSID kSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

}  // namespace

class FrameSink::Callback : public SingleInterfaceObject<ISampleGrabberCB> {
 public:
  explicit Callback(FrameSink* sink) : SingleInterfaceObject(IID_ISampleGrabberCB), sink_(sink) {}
  HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample* sample) override {
    BYTE* data = nullptr;
    if (sample->IsPreroll() != S_OK && SUCCEEDED(sample->GetPointer(&data))) sink_->OnFrame(data, sample->GetSize());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

 private:
  FrameSink* sink_;
};

FrameSink::FrameSink() = default;

FrameSink::~FrameSink() = default;

HRESULT FrameSink::AddTo(IGraphBuilder* graph) {
  HRESULT hr = CoCreateInstance(kSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, grabber_.PutVoid());
  if (SUCCEEDED(hr)) hr = CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer_.PutVoid());
  if (SUCCEEDED(hr)) hr = graph->AddFilter(grabber_.Get(), L"Frame grabber");
  if (SUCCEEDED(hr)) hr = graph->AddFilter(renderer_.Get(), L"Null renderer");
  if (FAILED(hr)) return hr;
  ovl::ComPtr<ISampleGrabber> control;
  hr = grabber_->QueryInterface(IID_ISampleGrabber, control.PutVoid());
  if (FAILED(hr)) return hr;
  AM_MEDIA_TYPE wanted{};
  wanted.majortype = MEDIATYPE_Video;
  wanted.subtype = MEDIASUBTYPE_RGB24;
  control->SetMediaType(&wanted);
  control->SetBufferSamples(FALSE);
  callback_ = ovl::ComPtr<Callback>(new Callback(this));
  return control->SetCallback(callback_.Get(), 0);
}

HRESULT FrameSink::Connect(IGraphBuilder* graph, IPin* output, const std::wstring& aviPath, int snapshotFrame) {
  const ovl::ComPtr<IPin> in = FirstPin(grabber_.Get(), PINDIR_INPUT);
  const ovl::ComPtr<IPin> out = FirstPin(grabber_.Get(), PINDIR_OUTPUT);
  const ovl::ComPtr<IPin> render = FirstPin(renderer_.Get(), PINDIR_INPUT);
  HRESULT hr = in && out && render ? graph->ConnectDirect(output, in.Get(), nullptr) : E_FAIL;
  if (SUCCEEDED(hr)) hr = graph->ConnectDirect(out.Get(), render.Get(), nullptr);
  AM_MEDIA_TYPE mt{};
  if (SUCCEEDED(hr)) hr = in->ConnectionMediaType(&mt);
  if (SUCCEEDED(hr)) {
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    width_ = vih->bmiHeader.biWidth;
    height_ = vih->bmiHeader.biHeight;
    frameBytes_ = static_cast<long>(ovl::RgbStride(width_) * height_);
    REFERENCE_TIME duration = vih->AvgTimePerFrame > 0 ? vih->AvgTimePerFrame : 400000;
    CoTaskMemFree(mt.pbFormat);
    char ansi[MAX_PATH * 2];
    WideCharToMultiByte(CP_ACP, 0, aviPath.c_str(), -1, ansi, sizeof(ansi), nullptr, nullptr);
    if (!avi_.Open(ansi, width_, height_, duration)) hr = HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE);
  }
  snapshotFrame_ = snapshotFrame;
  return hr;
}

void FrameSink::OnFrame(const unsigned char* pixels, long length) {
  if (length < frameBytes_) return;
  std::lock_guard<std::mutex> guard(mutex_);
  const long index = frames_.load();
  if (!avi_.AddFrame(pixels)) failed_ = true;
  last_.assign(pixels, pixels + frameBytes_);
  if (index == snapshotFrame_) snapshot_ = last_;
  frames_ = index + 1;
}

bool FrameSink::Finish() { return avi_.Close() && !failed_; }

std::vector<unsigned char> FrameSink::Snapshot() {
  std::lock_guard<std::mutex> guard(mutex_);
  return snapshot_.empty() ? last_ : snapshot_;
}

HRESULT WritePngSnapshot(const std::wstring& path, long width, long height, const std::vector<unsigned char>& pixels) {
  ovl::ComPtr<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.PutVoid());
  ovl::ComPtr<IWICStream> stream;
  ovl::ComPtr<IWICBitmapEncoder> encoder;
  ovl::ComPtr<IWICBitmapFrameEncode> frame;
  if (SUCCEEDED(hr)) hr = factory->CreateStream(stream.Put());
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.Put(), nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height));
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && format != GUID_WICPixelFormat24bppBGR) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  // The encoder takes rows top first; the frame is stored bottom-up.
  const std::size_t stride = ovl::RgbStride(width);
  for (long y = 0; SUCCEEDED(hr) && y < height; ++y) {
    auto* row = const_cast<BYTE*>(pixels.data() + static_cast<std::size_t>(height - 1 - y) * stride);
    hr = frame->WritePixels(1, static_cast<UINT>(stride), static_cast<UINT>(stride), row);
  }
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  return hr;
}

}  // namespace ovlcompose

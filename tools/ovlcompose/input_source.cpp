#include "tools/ovlcompose/input_source.h"

#include <cstdio>
#include <vector>

#include "persistence/core/com_ptr.h"
#include "tools/ovlcompose/hresult_text.h"

namespace ovlcompose {
namespace {

using ovl::ComPtr;

std::string Narrow(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(bytes > 0 ? bytes : 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &result[0], bytes, nullptr, nullptr);
  result.resize(result.size() - 1);
  return result;
}

bool IsAviFile(const std::wstring& path) {
  char head[12] = {};
  std::FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return false;
  const std::size_t got = std::fread(head, 1, sizeof(head), file);
  std::fclose(file);
  return got == sizeof(head) && std::string(head, 4) == "RIFF" && std::string(head + 8, 4) == "AVI ";
}

// Whether any type the pin offers has the major type `major`.
bool Offers(IPin* pin, const GUID& major) {
  ComPtr<IEnumMediaTypes> types;
  if (FAILED(pin->EnumMediaTypes(types.Put()))) return false;
  AM_MEDIA_TYPE* type = nullptr;
  bool found = false;
  while (!found && types->Next(1, &type, nullptr) == S_OK) {
    found = IsEqualGUID(type->majortype, major);
    if (type->pbFormat != nullptr) CoTaskMemFree(type->pbFormat);
    if (type->pUnk != nullptr) type->pUnk->Release();
    CoTaskMemFree(type);
  }
  return found;
}

// The filter's unconnected output pins that may lead to video: pins that
// offer video first, then pins of undecided streams; audio-only pins never.
std::vector<ComPtr<IPin>> CandidatePins(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> video, other;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return video;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION direction;
    ComPtr<IPin> peer;
    if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT ||
        SUCCEEDED(pin->ConnectedTo(peer.Put()))) {
      continue;
    }
    if (Offers(pin.Get(), MEDIATYPE_Video)) {
      video.push_back(pin);
    } else if (!Offers(pin.Get(), MEDIATYPE_Audio)) {
      other.push_back(pin);
    }
  }
  video.insert(video.end(), other.begin(), other.end());
  return video;
}

// Intelligent connect from each candidate pin in turn until one reaches
// `target`; the first refusal when none does.
HRESULT ConnectSomePin(IGraphBuilder* graph, IBaseFilter* source, IPin* target) {
  HRESULT first = VFW_E_CANNOT_CONNECT;
  bool tried = false;
  for (const ComPtr<IPin>& pin : CandidatePins(source)) {
    const HRESULT hr = graph->Connect(pin.Get(), target);
    if (SUCCEEDED(hr)) return hr;
    if (!tried) first = hr;
    tried = true;
  }
  return first;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
  ComPtr<IEnumPins> pins;
  ComPtr<IPin> pin;
  if (FAILED(filter->EnumPins(pins.Put()))) return pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION direction;
    if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
  }
  return ComPtr<IPin>();
}

// File Source + AVI Splitter, then the splitter's video to the target. The
// filters are removed again when that fails.
HRESULT ConnectThroughAviSplitter(IGraphBuilder* graph, const std::wstring& path, const std::wstring& name,
                                  IPin* target) {
  ComPtr<IBaseFilter> reader, splitter;
  HRESULT hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reader.PutVoid());
  if (SUCCEEDED(hr)) hr = CoCreateInstance(CLSID_AviSplitter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, splitter.PutVoid());
  if (FAILED(hr)) return hr;
  const bool added = SUCCEEDED(hr = graph->AddFilter(reader.Get(), (name + L" file").c_str())) &&
                     SUCCEEDED(hr = graph->AddFilter(splitter.Get(), name.c_str()));
  if (added) {
    ComPtr<IFileSourceFilter> file = reader.As<IFileSourceFilter>(IID_IFileSourceFilter);
    hr = file ? file->Load(path.c_str(), nullptr) : E_NOINTERFACE;
  }
  if (SUCCEEDED(hr)) {
    ComPtr<IPin> out = FirstPin(reader.Get(), PINDIR_OUTPUT);
    ComPtr<IPin> in = FirstPin(splitter.Get(), PINDIR_INPUT);
    hr = out && in ? graph->ConnectDirect(out.Get(), in.Get(), nullptr) : E_FAIL;
  }
  if (SUCCEEDED(hr)) hr = ConnectSomePin(graph, splitter.Get(), target);
  if (FAILED(hr)) {
    graph->RemoveFilter(splitter.Get());
    graph->RemoveFilter(reader.Get());
  }
  return hr;
}

// What to install for decoding, where this runs.
std::string DecoderAdvice() {
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  if (wine) {
    return "install the GStreamer plugins Wine decodes with (on Debian: gstreamer1.0-libav and "
           "gstreamer1.0-plugins-good, which scripts/install-deps.sh installs)";
  }
  return "install a DirectShow decoder for its video format, or convert it to a format Windows plays";
}

}  // namespace

HRESULT ConnectVideoFile(IGraphBuilder* graph, const std::wstring& path, const std::string& role, IPin* target,
                         std::string& error) {
  const std::wstring name = role.empty() ? L"Input" : std::wstring(role.begin(), role.end());
  if (IsAviFile(path) && SUCCEEDED(ConnectThroughAviSplitter(graph, path, name, target))) return S_OK;

  ComPtr<IBaseFilter> source;
  HRESULT hr = graph->AddSourceFilter(path.c_str(), name.c_str(), source.Put());
  if (FAILED(hr)) {
    error = "cannot open the " + role + " '" + Narrow(path) + "': the graph builder has no source for it (" +
            DescribeHresult(hr) + ")";
    return hr;
  }
  hr = ConnectSomePin(graph, source.Get(), target);
  if (FAILED(hr)) {
    graph->RemoveFilter(source.Get());
    error = "cannot decode the " + role + " '" + Narrow(path) +
            "': the graph builder found no way to connect it to the filter's 24-bit RGB input (" +
            DescribeHresult(hr) + "). If the file has a video stream, " + DecoderAdvice() + ".";
  }
  return hr;
}

}  // namespace ovlcompose

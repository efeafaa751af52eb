// ovlcompose: runs the TERN Video Overlay Filter (2.0) in a DirectShow graph
// (a source and whatever decoders the platform has per input, the filter, a
// grabber that writes the output AVI) and saves a PNG snapshot of one
// composed frame.
#include <windows.h>
#include <dshow.h>

#include <cstdio>
#include <string>

#include "KMVVOvLy.h"
#include "persistence/core/com_ptr.h"
#include "server/filter_identity.h"
#include "tools/ovlcompose/edit_settings.h"
#include "tools/ovlcompose/first_pin.h"
#include "tools/ovlcompose/frame_sink.h"
#include "tools/ovlcompose/input_source.h"
#include "tools/ovlcompose/options.h"
#include "tools/ovlcompose/test_patterns.h"

namespace {

using namespace ovlcompose;

std::string Narrow(const std::wstring& text) {
  char buffer[2048];
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

int Fail(const std::string& message, HRESULT hr = S_OK) {
  if (hr != S_OK) std::fprintf(stderr, "error: %s (0x%08lX)\n", message.c_str(), static_cast<unsigned long>(hr));
  else std::fprintf(stderr, "error: %s\n", message.c_str());
  return 1;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExeDirectory() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2];
  return GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr) ? full : path;
}

void MakeParentDirectories(const std::wstring& file) {
  const std::wstring full = FullPath(file);
  for (std::size_t at = full.find_first_of(L"\\/", 3); at != std::wstring::npos; at = full.find_first_of(L"\\/", at + 1)) {
    CreateDirectoryW(full.substr(0, at).c_str(), nullptr);
  }
}

// Imports or exports the filter's settings through IKMMCommon with the file's full path.
HRESULT WithSettingsFile(IBaseFilter* filter, const std::wstring& path,
                         HRESULT (STDMETHODCALLTYPE IKMMCommon::*call)(BSTR)) {
  ovl::ComPtr<IKMMCommon> common;
  HRESULT hr = filter->QueryInterface(IID_IKMMCommon, common.PutVoid());
  if (FAILED(hr)) return hr;
  BSTR file = SysAllocString(FullPath(path).c_str());
  hr = (common.Get()->*call)(file);
  SysFreeString(file);
  return hr;
}

// The registered filter, or the module next to this program when it is not registered.
HRESULT CreateOverlayFilter(IBaseFilter** filter, HMODULE* module) {
  HRESULT hr = CoCreateInstance(ovl::identity::kClsidOverlayFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(filter));
  if (SUCCEEDED(hr)) return hr;
  *module = LoadLibraryW((ExeDirectory() + L"KMVVOvLy2x.dll").c_str());
  if (*module == nullptr) return hr;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(*module, "DllGetClassObject")));
  ovl::ComPtr<IClassFactory> factory;
  if (get == nullptr || FAILED(hr = get(ovl::identity::kClsidOverlayFilter, IID_IClassFactory, factory.PutVoid()))) {
    return hr;
  }
  return factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
}

struct Inputs {
  std::wstring main, second;  // video files
  std::wstring tempDir;       // generated patterns live here
  ~Inputs() {
    if (tempDir.empty()) return;
    DeleteFileW((tempDir + L"\\main.avi").c_str());
    DeleteFileW((tempDir + L"\\second.avi").c_str());
    RemoveDirectoryW(tempDir.c_str());
  }
};

int Compose(const Options& o) {
  // Inputs: given files must exist; the built-in patterns are written first.
  Inputs inputs;
  auto tempDir = [&]() {
    if (inputs.tempDir.empty()) {
      wchar_t base[MAX_PATH];
      GetTempPathW(MAX_PATH, base);
      inputs.tempDir = std::wstring(base) + L"ovlcompose-" + std::to_wstring(GetCurrentProcessId());
      CreateDirectoryW(inputs.tempDir.c_str(), nullptr);
    }
    return inputs.tempDir;
  };
  if (!o.input.empty()) {
    if (!FileExists(o.input)) return Fail("cannot open the main video '" + Narrow(o.input) + "': no such file");
    inputs.main = FullPath(o.input);
  } else {
    inputs.main = tempDir() + L"\\main.avi";
    if (!WriteColourBars(inputs.main, o.frames)) return Fail("cannot write the built-in main pattern to the temp folder");
  }
  const std::wstring second = o.secondGiven ? o.second : L"pattern";
  if (second == L"pattern") {
    inputs.second = tempDir() + L"\\second.avi";
    if (!WriteRings(inputs.second, o.frames)) return Fail("cannot write the built-in second pattern to the temp folder");
  } else if (!second.empty()) {
    if (!FileExists(second)) return Fail("cannot open the second video '" + Narrow(second) + "': no such file");
    inputs.second = FullPath(second);
  }
  const bool useDemo = o.settings.empty();
  std::wstring image = o.image;
  if (image.empty() && !o.noImage && useDemo && FileExists(L"tools\\samples\\logo.bmp")) image = L"tools\\samples\\logo.bmp";
  if (!image.empty() && !FileExists(image)) return Fail("cannot open the overlay image '" + Narrow(image) + "': no such file");
  std::vector<MaskOption> masks = o.masks;
  if (masks.empty() && useDemo && FileExists(L"tools\\samples\\vignette-mask.bmp")) {
    masks.push_back({LAYERTYPE_BACKGROUND, L"tools\\samples\\vignette-mask.bmp"});
  }
  for (const MaskOption& m : masks) {
    if (!FileExists(m.file)) return Fail("cannot open the mask '" + Narrow(m.file) + "': no such file");
  }
  if (!o.settings.empty() && !FileExists(o.settings)) return Fail("cannot open the settings file '" + Narrow(o.settings) + "': no such file");

  ovl::ComPtr<IGraphBuilder> graph;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid());
  if (FAILED(hr)) return Fail("cannot create a DirectShow filter graph", hr);
  if (auto clock = graph.As<IMediaFilter>(IID_IMediaFilter)) {
    clock->SetSyncSource(nullptr);  // no clock: compose as fast as the machine allows
  }
  HMODULE module = nullptr;
  ovl::ComPtr<IBaseFilter> filter;
  ovl::ComPtr<IKMVVOvLy> overlay;
  FrameSink sink;
  int status = 0;
  auto check = [&](HRESULT result, const std::string& what) {
    if (SUCCEEDED(result)) return true;
    status = Fail(what, result);
    return false;
  };
  do {
    if (!check(CreateOverlayFilter(filter.Put(), &module), "cannot create the overlay filter: register KMVVOvLy2x.dll (regsvr32) or put it next to ovlcompose.exe")) break;
    if (!check(graph->AddFilter(filter.Get(), L"TERN Video Overlay Filter (2.0)"), "cannot add the overlay filter to the graph")) break;
    if (!check(filter->QueryInterface(IID_IKMVVOvLy, overlay.PutVoid()), "the filter offers no IKMVVOvLy")) break;
    if (!o.settings.empty()) {
      hr = WithSettingsFile(filter.Get(), o.settings, &IKMMCommon::ImportSettings);
      if (!check(hr, "cannot apply the settings file '" + Narrow(o.settings) + "'")) break;
    }
    if (o.width > 0) {
      overlay->put_OutputSizeType(OUTPUTSIZETYPE_CUSTOM);
      overlay->put_OutputWidth(o.width);
      overlay->put_OutputHeight(o.height);
    }
    std::string inputError;
    hr = ConnectVideoFile(graph.Get(), inputs.main, "main video", FirstPin(filter.Get(), PINDIR_INPUT, 0).Get(),
                          inputError);
    if (FAILED(hr)) {
      status = Fail(inputError);
      break;
    }
    if (!inputs.second.empty()) {
      const ovl::ComPtr<IPin> in1 = FirstPin(filter.Get(), PINDIR_INPUT, 1);
      hr = in1 ? ConnectVideoFile(graph.Get(), inputs.second, "second video", in1.Get(), inputError) : E_FAIL;
      if (FAILED(hr)) {
        status = Fail(in1 ? inputError : "the filter offers no second input");
        break;
      }
      if (useDemo || o.secondAtGiven) {
        overlay->put_XPos(LAYERTYPE_VIDEO2, o.secondX);
        overlay->put_YPos(LAYERTYPE_VIDEO2, o.secondY);
      }
      if (useDemo || o.secondOpacityGiven) {
        overlay->put_Opacity(LAYERTYPE_VIDEO2, o.secondOpacity);
        overlay->put_EnableOpacity(LAYERTYPE_VIDEO2, o.secondOpacity < 100 ? VARIANT_TRUE : VARIANT_FALSE);
      }
      if (useDemo || o.ellipseGiven) overlay->put_Region(LAYERTYPE_VIDEO2, o.secondEllipse ? REGION_ELLIPSE : REGION_NONE);
    }
    if (!image.empty()) {
      BSTR file = SysAllocString(FullPath(image).c_str());
      hr = overlay->put_OverlayImageFileName(file);
      SysFreeString(file);
      if (!check(hr, "cannot load the overlay image '" + Narrow(image) + "': only BMP and ICO files are accepted")) break;
      if (useDemo || o.imageAtGiven) {
        overlay->put_XPos(LAYERTYPE_OVERLAYIMAGE, o.imageX);
        overlay->put_YPos(LAYERTYPE_OVERLAYIMAGE, o.imageY);
      }
      const long key = o.imageKey >= 0 ? o.imageKey : (o.image.empty() ? 0x0000FF00 : -1);
      if (key >= 0) {
        overlay->put_TransparentColor(LAYERTYPE_OVERLAYIMAGE, static_cast<OLE_COLOR>(key));
        overlay->put_EnableTransparency(LAYERTYPE_OVERLAYIMAGE, VARIANT_TRUE);
      }
    }
    for (const MaskOption& m : masks) {
      BSTR file = SysAllocString(FullPath(m.file).c_str());
      hr = overlay->put_MaskImageFileName(static_cast<LayerTypeConstants>(m.layer), file);
      SysFreeString(file);
      if (!check(hr, "cannot load the mask '" + Narrow(m.file) + "': it must be an 8-bit greyscale BMP")) break;
      overlay->put_EnableMaskBitmap(static_cast<LayerTypeConstants>(m.layer), VARIANT_TRUE);
      if (useDemo && m.layer == LAYERTYPE_BACKGROUND) {
        // The demo shows the background colour through the vignette over the main video.
        overlay->put_BkLayerColor(0x00201008);
        overlay->put_LayerOrder(LAYERTYPE_VIDEO1, 0);
      }
    }
    if (status != 0) break;

    if (!o.exportSettings.empty()) {
      hr = WithSettingsFile(filter.Get(), o.exportSettings, &IKMMCommon::ExportSettings);
      if (!check(hr, "cannot write the settings to '" + Narrow(o.exportSettings) + "'")) break;
    }
    if (!check(sink.AddTo(graph.Get()), "cannot create the Sample Grabber and Null Renderer")) break;
    const ovl::ComPtr<IPin> out = FirstPin(filter.Get(), PINDIR_OUTPUT);
    MakeParentDirectories(o.out);
    hr = out ? sink.Connect(graph.Get(), out.Get(), FullPath(o.out), o.pngFrame) : E_FAIL;
    if (!check(hr, "cannot connect the filter's output or create '" + Narrow(o.out) + "'")) break;

    LONGLONG duration = 0;
    if (const auto seeking = graph.As<IMediaSeeking>(IID_IMediaSeeking)) {
      seeking->GetDuration(&duration);
      if (o.start >= 0 || o.stop >= 0) {
        LONGLONG start = static_cast<LONGLONG>((o.start >= 0 ? o.start : 0) * 1e7);
        LONGLONG stop = static_cast<LONGLONG>((o.stop >= 0 ? o.stop : 0) * 1e7);
        hr = seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, o.stop >= 0 ? &stop : nullptr,
                                   o.stop >= 0 ? AM_SEEKING_AbsolutePositioning : AM_SEEKING_NoPositioning);
        if (FAILED(hr)) {
          check(hr, "cannot move the inputs to the requested start and stop positions");
          break;
        }
        duration = (o.stop >= 0 ? stop : duration) - start;
      }
    }
    const long expected = duration > 0 ? static_cast<long>((duration + kPatternFrameDuration - 1) / kPatternFrameDuration) : 0;

    const auto control = graph.As<IMediaControl>(IID_IMediaControl);
    const auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
    hr = control ? control->Run() : E_NOINTERFACE;
    if (check(hr, "the graph does not run")) {
      long code = 0;
      while ((hr = events->WaitForCompletion(250, &code)) == E_ABORT) {
        if (!o.quiet) std::printf("\rcomposing: frame %ld%s%ld", sink.Frames(), expected ? " of about " : "", expected);
        std::fflush(stdout);
      }
      control->Stop();
      if (!o.quiet) std::printf("\rcomposing: %ld frames done          \n", sink.Frames());
      if (hr != S_OK || code != EC_COMPLETE) check(FAILED(hr) ? hr : E_FAIL, "the graph stopped before the end of the inputs");
    }
  } while (false);

  // The graph goes before the files are written.
  overlay.Reset();
  filter.Reset();
  graph.Reset();
  if (status != 0) return status;
  if (!sink.Finish()) return Fail("cannot write '" + Narrow(o.out) + "'");
  if (sink.Frames() == 0) return Fail("no frame was composed");
  MakeParentDirectories(o.png);
  hr = WritePngSnapshot(FullPath(o.png), sink.Width(), sink.Height(), sink.Snapshot());
  if (FAILED(hr)) return Fail("cannot write the snapshot '" + Narrow(o.png) + "'", hr);
  std::printf("wrote %s (%ld frames, %ldx%ld) and %s\n", Narrow(o.out).c_str(), sink.Frames(), sink.Width(),
              sink.Height(), Narrow(o.png).c_str());
  if (module != nullptr) FreeLibrary(module);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  std::wstring error;
  bool help = false;
  if (!ParseOptions(argc, argv, options, error, help)) {
    std::fprintf(stderr, "error: %s\n", Narrow(error).c_str());
    return 2;
  }
  if (help) {
    PrintUsage();
    return 0;
  }
  if (!options.editSettings.empty()) return EditSettings(options.editSettings);
  if (options.pngFrame < 0) options.pngFrame = options.frames / 2;
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const int status = Compose(options);
  CoUninitialize();
  return status;
}

#include "tools/ovlcompose/edit_settings.h"

#include <windows.h>
#include <dshow.h>
#include <olectl.h>

#include <cstdio>

#include "KMVVOvLy.h"
#include "persistence/core/com_ptr.h"
#include "server/filter_identity.h"
#include "tools/ovlcompose/page_tracker.h"

namespace ovlcompose {
namespace {

using ovl::ComPtr;

int Fail(const char* what, const std::wstring& file, HRESULT hr) {
  std::fprintf(stderr, "error: %s '%ls' (0x%08lX)\n", what, file.c_str(), static_cast<unsigned long>(hr));
  return 1;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2];
  return GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr) ? full : path;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The class objects of the filter and its two pages: from the registered
// module or, when it is not registered, from the copy beside this program
// (kept loaded to the end of the process: page windows may outlive the frame).
HRESULT GetClassObjects(ComPtr<IClassFactory> (&factories)[3]) {
  const CLSID* classes[] = {&ovl::identity::kClsidOverlayFilter, &ovl::identity::kClsidPropertyPage,
                            &ovl::identity::kClsidAboutPage};
  HRESULT hr = S_OK;
  for (int i = 0; i < 3 && SUCCEEDED(hr); ++i) {
    hr = CoGetClassObject(*classes[i], CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factories[i].PutVoid());
  }
  if (SUCCEEDED(hr)) return hr;
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring module(path);
  module = module.substr(0, module.find_last_of(L"\\/") + 1) + L"KMVVOvLy2x.dll";
  const HMODULE loaded = LoadLibraryW(module.c_str());
  if (loaded == nullptr) return hr;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(loaded, "DllGetClassObject")));
  if (get == nullptr) return E_NOINTERFACE;
  for (int i = 0; i < 3; ++i) {
    hr = get(*classes[i], IID_IClassFactory, factories[i].PutVoid());
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// Whether the user closed the frame with OK. The frame's OK button (or
// Enter) sends or posts IDOK to the frame, a top-level dialog of this thread.
bool g_okPressed = false;

void Notice(HWND window, UINT message, WPARAM wParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK && window != nullptr &&
      (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0) {
    // Before the frame handles OK, so the pages are still connected.
    if (!g_okPressed) ApplyTrackedPages();
    g_okPressed = true;
  }
}

LRESULT CALLBACK WatchSent(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    Notice(sent->hwnd, sent->message, sent->wParam);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK WatchPosted(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    const auto* posted = reinterpret_cast<const MSG*>(lParam);
    Notice(posted->hwnd, posted->message, posted->wParam);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

HRESULT WithSettingsFile(IBaseFilter* filter, const std::wstring& path, HRESULT (STDMETHODCALLTYPE IKMMCommon::*call)(BSTR)) {
  ComPtr<IKMMCommon> common;
  HRESULT hr = filter->QueryInterface(IID_IKMMCommon, common.PutVoid());
  if (FAILED(hr)) return hr;
  BSTR name = SysAllocString(path.c_str());
  hr = name != nullptr ? (common.Get()->*call)(name) : E_OUTOFMEMORY;
  SysFreeString(name);
  return hr;
}

// Shows the frame with the filter's pages; returns when the user closes it.
HRESULT ShowPropertyFrame(IBaseFilter* filter) {
  ComPtr<ISpecifyPropertyPages> specify;
  HRESULT hr = filter->QueryInterface(IID_ISpecifyPropertyPages, specify.PutVoid());
  if (FAILED(hr)) return hr;
  CAUUID pages{};
  hr = specify->GetPages(&pages);
  if (FAILED(hr)) return hr;
  IUnknown* objects[] = {filter};
  g_okPressed = false;
  const HHOOK sent = SetWindowsHookExW(WH_CALLWNDPROC, WatchSent, nullptr, GetCurrentThreadId());
  const HHOOK posted = SetWindowsHookExW(WH_GETMESSAGE, WatchPosted, nullptr, GetCurrentThreadId());
  hr = OleCreatePropertyFrame(nullptr, 40, 40, ovl::identity::kFilterName, 1, objects, pages.cElems, pages.pElems,
                              GetUserDefaultLCID(), 0, nullptr);
  if (sent != nullptr) UnhookWindowsHookEx(sent);
  if (posted != nullptr) UnhookWindowsHookEx(posted);
  CoTaskMemFree(pages.pElems);
  return hr;
}

int Edit(const std::wstring& file) {
  ComPtr<IClassFactory> factories[3];
  HRESULT hr = GetClassObjects(factories);
  ComPtr<IBaseFilter> filter;
  if (SUCCEEDED(hr)) hr = factories[0]->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid());
  if (FAILED(hr)) return Fail("cannot create the overlay filter (register KMVVOvLy2x.dll or put it next to ovlcompose.exe) for", file, hr);
  if (FileExists(file)) {
    hr = WithSettingsFile(filter.Get(), file, &IKMMCommon::ImportSettings);
    if (FAILED(hr)) return Fail("cannot read the settings file", file, hr);
  }
  const CLSID* pageClasses[] = {&ovl::identity::kClsidPropertyPage, &ovl::identity::kClsidAboutPage};
  IClassFactory* pageFactories[] = {factories[1].Get(), factories[2].Get()};
  hr = TrackPages(pageClasses, pageFactories, 2);
  if (SUCCEEDED(hr)) hr = ShowPropertyFrame(filter.Get());
  RevokeTrackedPages();
  if (FAILED(hr)) return Fail("cannot show the property frame for", file, hr);
  if (!g_okPressed) {
    std::printf("cancelled: %ls left as it was\n", file.c_str());
    return 0;
  }
  hr = WithSettingsFile(filter.Get(), file, &IKMMCommon::ExportSettings);
  if (FAILED(hr)) return Fail("cannot write the settings to", file, hr);
  std::printf("wrote the settings to %ls\n", file.c_str());
  return 0;
}

}  // namespace

int EditSettings(const std::wstring& file) {
  // The property frame and its pages are windows: a single-threaded apartment.
  const HRESULT hr = OleInitialize(nullptr);
  if (FAILED(hr)) return Fail("cannot initialise OLE to edit", file, hr);
  const int status = Edit(FullPath(file));
  OleUninitialize();
  return status;
}

}  // namespace ovlcompose

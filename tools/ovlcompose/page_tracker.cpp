#include "tools/ovlcompose/page_tracker.h"

#include <algorithm>
#include <vector>

#include "persistence/core/com_ptr.h"
#include "tools/ovlcompose/single_interface_object.h"

namespace ovlcompose {
namespace {

using ovl::ComPtr;

class TrackedPage;
// The frame and its pages live on the one thread that runs the frame.
std::vector<TrackedPage*> g_pages;

class TrackedPage : public SingleInterfaceObject<IPropertyPage> {
 public:
  explicit TrackedPage(ComPtr<IPropertyPage> real)
      : SingleInterfaceObject(IID_IPropertyPage), real_(std::move(real)) {
    g_pages.push_back(this);
  }
  ~TrackedPage() override { g_pages.erase(std::remove(g_pages.begin(), g_pages.end(), this), g_pages.end()); }

  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override { return real_->SetPageSite(site); }
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override {
    return real_->Activate(parent, rect, modal);
  }
  HRESULT STDMETHODCALLTYPE Deactivate() override { return real_->Deactivate(); }
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override { return real_->GetPageInfo(info); }
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override {
    return real_->SetObjects(count, objects);
  }
  HRESULT STDMETHODCALLTYPE Show(UINT command) override { return real_->Show(command); }
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override { return real_->Move(rect); }
  HRESULT STDMETHODCALLTYPE IsPageDirty() override { return real_->IsPageDirty(); }
  HRESULT STDMETHODCALLTYPE Apply() override { return real_->Apply(); }
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override { return real_->Help(helpDir); }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override { return real_->TranslateAccelerator(msg); }

 private:
  ComPtr<IPropertyPage> real_;
};

class TrackingFactory : public SingleInterfaceObject<IClassFactory> {
 public:
  explicit TrackingFactory(IClassFactory* real)
      : SingleInterfaceObject(IID_IClassFactory), real_(ComPtr<IClassFactory>::Share(real)) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ComPtr<IPropertyPage> real;
    HRESULT hr = real_->CreateInstance(nullptr, IID_IPropertyPage, real.PutVoid());
    if (FAILED(hr)) return hr;
    auto* page = new (std::nothrow) TrackedPage(std::move(real));
    if (page == nullptr) return E_OUTOFMEMORY;
    hr = page->QueryInterface(riid, ppv);
    page->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override { return real_->LockServer(lock); }

 private:
  ComPtr<IClassFactory> real_;
};

std::vector<DWORD> g_cookies;

}  // namespace

HRESULT TrackPages(const CLSID* const* classes, IClassFactory* const* real, int count) {
  for (int i = 0; i < count; ++i) {
    ComPtr<IClassFactory> factory(new (std::nothrow) TrackingFactory(real[i]));
    if (!factory) return E_OUTOFMEMORY;
    DWORD cookie = 0;
    const HRESULT hr =
        CoRegisterClassObject(*classes[i], factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (FAILED(hr)) return hr;
    g_cookies.push_back(cookie);
  }
  return S_OK;
}

void RevokeTrackedPages() {
  for (DWORD cookie : g_cookies) CoRevokeClassObject(cookie);
  g_cookies.clear();
}

void ApplyTrackedPages() {
  // Apply may show a message box whose loop lets pages go: work on a copy.
  const std::vector<TrackedPage*> pages = g_pages;
  for (TrackedPage* page : pages) {
    if (std::find(g_pages.begin(), g_pages.end(), page) != g_pages.end()) page->Apply();
  }
}

}  // namespace ovlcompose

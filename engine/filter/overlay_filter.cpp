#include "engine/filter/overlay_filter.h"
#include "streaming/mux_dynamic_output_pin.h"

#include <new>

#include "diag/trace.h"
#include "engine/gdi/picture_install.h"
#include "server/filter_identity.h"
#include "streaming/overlay_input_pin.h"

CUnknown* CALLBACK CVOvrLyFilter::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  auto* filter = new (std::nothrow) CVOvrLyFilter(outer, phr);
  if (filter == nullptr && phr != nullptr) *phr = E_OUTOFMEMORY;
  return filter;
}

CVOvrLyFilter::CVOvrLyFilter(LPUNKNOWN outer, HRESULT* phr)
    : CMultipleInputPinTransformFilter(ovl::identity::kFilterNameA, outer, ovl::identity::kClsidOverlayFilter, phr),
      CPersistStream(GetOwner(), phr),
      COverlayFilterControl(*this, *this),
      m_host(*this),
      m_access(m_settings, m_host),
      m_video1Header{},
      m_video2Header{} {
  RecomputeOutputSize();
  // The saved settings of the current user; with nothing saved the defaults stay.
  LoadSettings();
  if (!m_pairing.Create() && phr != nullptr) *phr = E_FAIL;
  // One input and the output exist from the start; the second input follows
  // when the first connects.
  GetPin(0);
  GetPin(1);
}

CVOvrLyFilter::~CVOvrLyFilter() {
  ovl::gdi::ReleaseAll(m_settings);
}

HRESULT STDMETHODCALLTYPE CVOvrLyFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (riid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream*>(this), ppv);
  if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
  // One interface table answers the automation interface and its older forms.
  if (riid == IID_IKMVVOvLy || riid == IID_IKMVVOvLyOld2 || riid == IID_IKMVVOvLy1 || riid == IID_IDispatch) {
    return GetInterface(static_cast<IKMVVOvLy*>(this), ppv);
  }
  if (riid == IID_IKMMCommon || riid == IID_IKMMCommon1) return GetInterface(static_cast<IKMMCommon*>(this), ppv);
  if (riid == IID_IKMAVBase) return GetInterface(static_cast<IKMAVBase*>(this), ppv);
  return CMultipleInputPinTransformFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CVOvrLyFilter::GetClassID(CLSID* clsid) {
  CheckPointer(clsid, E_POINTER);
  *clsid = ovl::identity::kClsidOverlayFilter;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CVOvrLyFilter::GetPages(CAUUID* pages) {
  ovl::diag::Trace("\nCVOvrLyFilter::GetPages");
  CheckPointer(pages, E_POINTER);
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(2 * sizeof(GUID)));
  if (pages->pElems == nullptr) return E_OUTOFMEMORY;
  pages->cElems = 2;
  pages->pElems[0] = ovl::identity::kClsidPropertyPage;
  pages->pElems[1] = ovl::identity::kClsidAboutPage;
  return S_OK;
}

HRESULT CVOvrLyFilter::WriteToStream(IStream* stream) { return WriteSettingsToStream(stream); }

HRESULT CVOvrLyFilter::ReadFromStream(IStream* stream) { return ReadSettingsFromStream(stream); }

bool CVOvrLyFilter::VideoSourceHeader(int input, BITMAPINFOHEADER* header) {
  const BITMAPINFOHEADER& source = input == 0 ? m_video1Header : m_video2Header;
  if ((input != 0 && input != 1) || source.biSize == 0) return false;
  *header = source;
  return true;
}

IPin* CVOvrLyFilter::OverlayInputPin(int index) { return InputPin(index); }

IPin* CVOvrLyFilter::OverlayOutputPin() { return OutputPin(); }

CMuxTransformInputPin* CVOvrLyFilter::CreateInputPin(int index, LPCWSTR name, HRESULT* phr) {
  return new (std::nothrow) COverlayInputPin(index, this, &m_pairing, phr, name);
}

COverlayInputPin* CVOvrLyFilter::OverlayPin(int index) const {
  return static_cast<COverlayInputPin*>(InputPin(index));
}

bool CVOvrLyFilter::IsInputPinConnected(int index) {
  CMuxTransformInputPin* pin = InputPin(index);
  return pin != nullptr && pin->IsConnected();
}

ovl::HResult CVOvrLyFilter::Host::BackgroundColorChanged(std::uint32_t colorref) {
  // The background surface is ours (no brush to run out of): refill it now.
  m_filter.m_compositor.FillBackground(colorref);
  return ovl::kOk;
}

// --- the pairing of the two inputs follows the filter's state ---

HRESULT STDMETHODCALLTYPE CVOvrLyFilter::Stop() {
  ovl::diag::Trace("\nVOvly.Stop()");
  m_pairing.Stop();  // before the lock: a parked streaming thread must leave
  const HRESULT hr = CBaseFilter::Stop();
  // The helpers take no lock of the filter: a frame still being composed
  // finishes on the streaming thread.
  m_stripPool.Stop();
  return hr;
}

HRESULT CVOvrLyFilter::StartStreaming() {
  ovl::diag::Trace("\nVOvly.StartStreaming");
  for (int i = 0; i < m_nInputPins; ++i) {
    if (CMuxTransformInputPin* pin = InputPin(i)) pin->SetEndOfStream(false);
  }
  m_pairing.StartStreaming();
  // Without its helpers (no thread to be had) a frame is composed by the
  // streaming thread alone.
  m_stripPool.Start(m_compositor.Workers() - 1);
  m_compositor.UsePool(&m_stripPool);
  return S_OK;
}

HRESULT CVOvrLyFilter::BeginFlush() {
  ovl::diag::Trace("\nOVL.BeginFlush");
  m_pairing.BeginFlush();
  return CMultipleInputPinTransformFilter::BeginFlush();
}

HRESULT CVOvrLyFilter::EndFlush() {
  ovl::diag::Trace("\nOVL.EndFlush");
  return CMultipleInputPinTransformFilter::EndFlush();
}

void CVOvrLyFilter::BeginSeek() { m_pairing.BeginSeek(); }

void CVOvrLyFilter::EndSeek() { m_pairing.EndSeek(); }

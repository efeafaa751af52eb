#include "engine/filter/overlay_filter.h"
#include "streaming/mux_dynamic_output_pin.h"

#include <new>

#include "engine/gdi/picture_install.h"
#include "server/class_ids.h"
#include "streaming/overlay_input_pin.h"

CUnknown* CALLBACK CVOvrLyFilter::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  auto* filter = new (std::nothrow) CVOvrLyFilter(outer, phr);
  if (filter == nullptr && phr != nullptr) *phr = E_OUTOFMEMORY;
  return filter;
}

CVOvrLyFilter::CVOvrLyFilter(LPUNKNOWN outer, HRESULT* phr)
    : CMultipleInputPinTransformFilter(TEXT("CVOvrLyFilter"), outer, ovl::server::kClsidOverlayFilter, phr),
      CPersistStream(GetOwner(), phr),
      m_host(*this),
      m_access(m_settings, m_host),
      m_video1Header{},
      m_video2Header{} {
  RecomputeOutputSize();
  if (!m_handshake.Create() && phr != nullptr) *phr = E_FAIL;
  // One input and the output exist from the start; the second input follows
  // when the first connects.
  GetPin(0);
  GetPin(1);
}

CVOvrLyFilter::~CVOvrLyFilter() {
  ovl::gdi::ReleaseAll(m_settings);
  m_handshake.Close();
}

HRESULT STDMETHODCALLTYPE CVOvrLyFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (riid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream*>(this), ppv);
  if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
  return CMultipleInputPinTransformFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CVOvrLyFilter::GetClassID(CLSID* clsid) {
  CheckPointer(clsid, E_POINTER);
  *clsid = ovl::server::kClsidOverlayFilter;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CVOvrLyFilter::GetPages(CAUUID* pages) {
  CheckPointer(pages, E_POINTER);
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(2 * sizeof(GUID)));
  if (pages->pElems == nullptr) return E_OUTOFMEMORY;
  pages->cElems = 2;
  pages->pElems[0] = ovl::server::kClsidPropertyPage;
  pages->pElems[1] = ovl::server::kClsidAboutPage;
  return S_OK;
}

CMuxTransformInputPin* CVOvrLyFilter::CreateInputPin(int index, LPCWSTR name, HRESULT* phr) {
  return new (std::nothrow) COverlayInputPin(index, this, &m_handshake, phr, name);
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

// --- the two-input handshake: no lock is taken before the events are set,
// so a thread parked in Receive is always released. ---

HRESULT STDMETHODCALLTYPE CVOvrLyFilter::Stop() {
  InterlockedExchange(&m_handshake.stopping, 1);
  m_handshake.WakeBoth();
  return CBaseFilter::Stop();
}

HRESULT CVOvrLyFilter::StartStreaming() {
  for (int i = 0; i < m_nInputPins; ++i) {
    if (COverlayInputPin* pin = OverlayPin(i)) {
      pin->SetEndOfStream(FALSE);
      pin->ClearHeldSample();
    }
  }
  InterlockedExchange(&m_handshake.stopping, 0);
  ResetEvent(m_handshake.frameAvailable);
  ResetEvent(m_handshake.advanceStream);
  InterlockedExchange(&m_handshake.inSeek, 0);
  return S_OK;
}

HRESULT CVOvrLyFilter::BeginFlush() {
  m_handshake.WakeBoth();
  return CMultipleInputPinTransformFilter::BeginFlush();
}

HRESULT CVOvrLyFilter::EndFlush() { return CMultipleInputPinTransformFilter::EndFlush(); }

void CVOvrLyFilter::BeginSeek() {
  InterlockedExchange(&m_handshake.inSeek, 1);
  m_handshake.WakeBoth();
}

void CVOvrLyFilter::EndSeek() { InterlockedExchange(&m_handshake.inSeek, 0); }

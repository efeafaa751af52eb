#include "persistence/filter/overlay_filter_control.h"

#include <uuids.h>

#include "engine/control/bstr_text.h"
#include "persistence/core/com_ptr.h"
#include "persistence/filter/overlay_settings_archive.h"

namespace {

bool IsConnected(IPin* pin) {
  if (pin == nullptr) return false;
  ovl::ComPtr<IPin> peer;
  const HRESULT hr = pin->ConnectedTo(peer.Put());
  return SUCCEEDED(hr) && peer;
}

HRESULT PinName(IPin* pin, BSTR* name) {
  if (pin == nullptr) return E_FAIL;
  PIN_INFO info{};
  const HRESULT hr = pin->QueryPinInfo(&info);
  if (FAILED(hr)) return hr;
  const ovl::ComPtr<IBaseFilter> owner(info.pFilter);  // the reference QueryPinInfo added
  info.achName[MAX_PIN_NAME - 1] = L'\0';
  return ovl::control::CopyToBstr(info.achName, name);
}

// The VIDEOINFOHEADER of the pin's connection; false when there is none.
bool ConnectionVideoInfo(IPin* pin, VIDEOINFOHEADER* info) {
  if (!IsConnected(pin)) return false;
  AM_MEDIA_TYPE mt{};
  if (FAILED(pin->ConnectionMediaType(&mt))) return false;
  const bool ok = IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.pbFormat != nullptr &&
                  mt.cbFormat >= sizeof(VIDEOINFOHEADER);
  if (ok) *info = *reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
  if (mt.pbFormat != nullptr) CoTaskMemFree(mt.pbFormat);
  const ovl::ComPtr<IUnknown> unused(mt.pUnk);  // the reference the copied type carries
  return ok;
}

LONG Width(const VIDEOINFOHEADER& v) { return v.bmiHeader.biWidth; }
LONG Height(const VIDEOINFOHEADER& v) { return v.bmiHeader.biHeight; }
LONG Bits(const VIDEOINFOHEADER& v) { return v.bmiHeader.biBitCount; }

}  // namespace

COverlayFilterControl::COverlayFilterControl(COverlayControlHost& control, COverlayPinHost& pins,
                                             const char* registryKeyPath)
    : COverlayControl(control), CTDAVCmnImp(registryKeyPath), m_pins(pins) {}

HRESULT COverlayFilterControl::GetFilterName(BSTR* pName) { return ovl::control::CopyToBstr(ovl::identity::kFilterName, pName); }

HRESULT COverlayFilterControl::get_FilterName(BSTR* pVal) { return ovl::control::CopyToBstr(ovl::identity::kFilterName, pVal); }

HRESULT COverlayFilterControl::Serialize(CRKArchive& archive) {
  COverlayControlHost& host = ControlHost();
  return ovl::control::SerializeOverlaySettings(archive, host.OverlaySettingsRecord(), host.OverlaySettingsHost(),
                                                *static_cast<IKMVVOvLy*>(this));
}

HRESULT COverlayFilterControl::MeasureMemoryForm(const BYTE* pMem, CMemoryFormExtent* pExtent) {
  return ovl::control::MeasureOverlaySettingsForm(pMem, pExtent);
}

bool COverlayFilterControl::InputPinExists(int index) { return m_pins.OverlayInputPin(index) != nullptr; }

bool COverlayFilterControl::InputPinConnected(int index) { return IsConnected(m_pins.OverlayInputPin(index)); }

// ------------------------------------------------------------ state and pins

HRESULT COverlayFilterControl::get_FilterState(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  IFilterGraph* graph = m_pins.OverlayFilterGraph();
  if (graph == nullptr) {
    *pVal = State_Stopped;
    return S_OK;
  }
  // A graph without these interfaces has no state to report; the answer
  // says so in the value itself.
  ovl::ComPtr<IGraphBuilder> builder;
  if (FAILED(graph->QueryInterface(IID_IGraphBuilder, builder.PutVoid()))) {
    *pVal = E_NOINTERFACE;
    return S_OK;
  }
  ovl::ComPtr<IMediaControl> control;
  if (FAILED(builder->QueryInterface(IID_IMediaControl, control.PutVoid()))) {
    *pVal = E_NOINTERFACE;
    return S_OK;
  }
  OAFilterState state = State_Stopped;
  const HRESULT hr = control->GetState(1000, &state);
  if (FAILED(hr)) return hr;
  *pVal = static_cast<LONG>(state);
  return S_OK;
}

// Only the main input is presented through this interface.
HRESULT COverlayFilterControl::get_InputPinsCount(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = 1;
  return S_OK;
}

HRESULT COverlayFilterControl::get_OutputPinsCount(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = 1;
  return S_OK;
}

HRESULT COverlayFilterControl::get_InputPinName(LONG nPinIndex, BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (nPinIndex != 0) return E_INVALIDARG;
  return PinName(m_pins.OverlayInputPin(0), pVal);
}

HRESULT COverlayFilterControl::get_OutputPinName(LONG nPinIndex, BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (nPinIndex != 0) return E_INVALIDARG;
  return PinName(m_pins.OverlayOutputPin(), pVal);
}

// Both inputs answer here. A pin not created yet leaves the result as it was.
HRESULT COverlayFilterControl::get_IsTERNInputPinConnected(LONG nPinIndex, VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (nPinIndex < 0 || nPinIndex > 1) return E_INVALIDARG;
  IPin* pin = m_pins.OverlayInputPin(nPinIndex);
  if (pin == nullptr) return S_OK;
  *pVal = IsConnected(pin) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT COverlayFilterControl::get_IsTERNOutputPinConnected(LONG nPinIndex, VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (nPinIndex != 0) return E_INVALIDARG;
  IPin* pin = m_pins.OverlayOutputPin();
  if (pin == nullptr) return E_FAIL;
  *pVal = IsConnected(pin) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

// Stream type 1: video.
HRESULT COverlayFilterControl::get_InputPinStreamType(LONG nPinIndex, LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (nPinIndex != 0) return E_INVALIDARG;
  *pVal = 1;
  return S_OK;
}

HRESULT COverlayFilterControl::get_OutputPinStreamType(LONG nPinIndex, LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (nPinIndex != 0) return E_INVALIDARG;
  *pVal = 1;
  return S_OK;
}

HRESULT COverlayFilterControl::ConnectionValue(IPin* pin, LONG nPinIndex, LONG (*field)(const VIDEOINFOHEADER&),
                                               LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (nPinIndex != 0) return E_INVALIDARG;
  VIDEOINFOHEADER info;
  *pVal = ConnectionVideoInfo(pin, &info) ? field(info) : -1;
  return S_OK;
}

HRESULT COverlayFilterControl::get_InWidth(LONG nPinIndex, LONG* pVal) {
  return ConnectionValue(nPinIndex == 0 ? m_pins.OverlayInputPin(0) : nullptr, nPinIndex, Width, pVal);
}
HRESULT COverlayFilterControl::get_InHeight(LONG nPinIndex, LONG* pVal) {
  return ConnectionValue(nPinIndex == 0 ? m_pins.OverlayInputPin(0) : nullptr, nPinIndex, Height, pVal);
}
HRESULT COverlayFilterControl::get_InBits(LONG nPinIndex, LONG* pVal) {
  return ConnectionValue(nPinIndex == 0 ? m_pins.OverlayInputPin(0) : nullptr, nPinIndex, Bits, pVal);
}
HRESULT COverlayFilterControl::get_OutWidth(LONG nPinIndex, LONG* pVal) {
  return ConnectionValue(nPinIndex == 0 ? m_pins.OverlayOutputPin() : nullptr, nPinIndex, Width, pVal);
}
HRESULT COverlayFilterControl::get_OutHeight(LONG nPinIndex, LONG* pVal) {
  return ConnectionValue(nPinIndex == 0 ? m_pins.OverlayOutputPin() : nullptr, nPinIndex, Height, pVal);
}
HRESULT COverlayFilterControl::get_OutBits(LONG nPinIndex, LONG* pVal) {
  return ConnectionValue(nPinIndex == 0 ? m_pins.OverlayOutputPin() : nullptr, nPinIndex, Bits, pVal);
}

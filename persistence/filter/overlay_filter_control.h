#pragma once
// Everything the overlay filter answers besides DirectShow, ready to be
// mixed into the filter class: IKMVVOvLy (COverlayControl), IKMMCommon
// (CTDAVCmnImp, with the filter's own pin and state answers), IKMAVBase,
// and the settings serialisation behind every store.
//
// The filter derives from COverlayFilterControl, implements
// COverlayControlHost and COverlayPinHost (or hands in objects that do),
// implements IUnknown once, and routes QueryInterface:
//   IKMVVOvLy, IKMVVOvLyOld2, IKMVVOvLy1, IDispatch -> static_cast<IKMVVOvLy*>(this)
//   IKMMCommon, IKMMCommon1                       -> static_cast<IKMMCommon*>(this)
//   IKMAVBase                                     -> static_cast<IKMAVBase*>(this)
// Its CPersistStream overrides WriteToStream / ReadFromStream call
// WriteSettingsToStream / ReadSettingsFromStream, and its SettingsHost
// answers InputPinExists / InputPinConnected with the functions below.
#include <windows.h>
#include <dshow.h>

#include "KMVVOvLy.h"
#include "persistence/filter/common_filter.h"
#include "server/filter_identity.h"
#include "engine/control/overlay_control.h"

// The filter's pins and graph, for the pin and state answers.
class COverlayPinHost {
 public:
  // Borrowed pointers (no reference added); null when that pin does not
  // exist (yet). Input 0 is the main input, input 1 the second one.
  virtual IPin* OverlayInputPin(int index) = 0;
  virtual IPin* OverlayOutputPin() = 0;
  // The graph the filter has joined (borrowed); null outside a graph.
  virtual IFilterGraph* OverlayFilterGraph() = 0;

 protected:
  ~COverlayPinHost() = default;
};

class COverlayFilterControl : public COverlayControl, public CTDAVCmnImp, public IKMAVBase {
 public:
  COverlayFilterControl(COverlayControlHost& control, COverlayPinHost& pins,
                        const char* registryKeyPath = ovl::identity::kSettingsKeyA);
  ~COverlayFilterControl() override = default;

  // IKMAVBase
  HRESULT STDMETHODCALLTYPE GetFilterName(BSTR* pName) override;

  // IKMMCommon: the overlay filter's answers.
  HRESULT STDMETHODCALLTYPE get_FilterName(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_FilterState(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InputPinsCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutputPinsCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InputPinName(LONG nPinIndex, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutputPinName(LONG nPinIndex, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_IsTERNInputPinConnected(LONG nPinIndex, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_IsTERNOutputPinConnected(LONG nPinIndex, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InputPinStreamType(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutputPinStreamType(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InWidth(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InHeight(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutWidth(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutHeight(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InBits(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutBits(LONG nPinIndex, LONG* pVal) override;

  // The filter's 70 saved settings (see overlay_settings_archive.h).
  HRESULT Serialize(CRKArchive& archive) override;

  // Pin state as the active-layer rules need it.
  bool InputPinExists(int index);
  bool InputPinConnected(int index);

 protected:
  HRESULT MeasureMemoryForm(const BYTE* pMem, CMemoryFormExtent* pExtent) override;

 private:
  // A field of the VIDEOINFOHEADER of a pin's connection, or -1 when the pin
  // is absent, unconnected or not connected with a VIDEOINFOHEADER.
  HRESULT ConnectionValue(IPin* pin, LONG nPinIndex, LONG (*field)(const VIDEOINFOHEADER&), LONG* pVal);

  COverlayPinHost& m_pins;
};

#pragma once
// IKMVVOvLy (with IKMVVOvLyOld2 and IKMVVOvLy1): the overlay filter's
// automation interface over the engine's settings. The rules of every
// setting live in ovl::SettingsAccess and the picture loaders of
// engine/gdi; this class adds the interface's argument checks, BSTR
// conversions and the filter lock around the picture loaders, and talks to
// the filter only through COverlayControlHost. IUnknown stays pure: the
// filter implements it and answers IKMVVOvLy, IKMVVOvLyOld2, IKMVVOvLy1 and
// IDispatch with one pointer, static_cast<IKMVVOvLy*>(this).
#include <windows.h>

#include "KMVVOvLy.h"
#include "engine/control/filter_dispatch.h"
#include "engine/core/overlay_settings.h"

// What the control interface needs from the filter.
class COverlayControlHost {
 public:
  // The filter's settings record.
  virtual ovl::OverlaySettings& OverlaySettingsRecord() = 0;
  // The filter lock, regions, background surface, output size and pin state
  // behind the settings.
  virtual ovl::SettingsHost& OverlaySettingsHost() = 0;
  // The picture header of the video 1 (input 0) or video 2 (input 1) source
  // as taken when that input connected; false when there is none.
  virtual bool VideoSourceHeader(int input, BITMAPINFOHEADER* header) = 0;

 protected:
  ~COverlayControlHost() = default;
};

class COverlayControl : public CFilterDispatchImpl<IKMVVOvLy, &IID_IKMVVOvLy> {
 public:
  explicit COverlayControl(COverlayControlHost& host) : m_host(host) {}
  ~COverlayControl() override = default;

  // IKMVVOvLy1
  HRESULT STDMETHODCALLTYPE get_ActiveLayersCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_IsLayerActive(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_LayerOrder(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_LayerOrder(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE GetLayerInfo(LayerTypeConstants LayerType, LONG* pWidth, LONG* pHeight,
                                         LONG* pBitsPerPixel) override;
  HRESULT STDMETHODCALLTYPE get_OverlayImageFileName(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_OverlayImageFileName(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE put_OverlayImageDIBPointer(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_IsOverlayImageLoaded(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_BkLayerColor(OLE_COLOR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_BkLayerColor(OLE_COLOR newVal) override;
  HRESULT STDMETHODCALLTYPE get_EnableMaskBitmap(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_EnableMaskBitmap(LayerTypeConstants LayerType, VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_MaskImageFileName(LayerTypeConstants LayerType, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_MaskImageFileName(LayerTypeConstants LayerType, BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE put_MaskImageDIBPointer(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_IsMaskImageLoaded(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_EnableOpacity(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_EnableOpacity(LayerTypeConstants LayerType, VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_Opacity(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Opacity(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_EnableTransparency(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_EnableTransparency(LayerTypeConstants LayerType, VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_TransparentColor(LayerTypeConstants LayerType, OLE_COLOR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_TransparentColor(LayerTypeConstants LayerType, OLE_COLOR newVal) override;
  HRESULT STDMETHODCALLTYPE get_XPos(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_XPos(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_YPos(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_YPos(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_Region(LayerTypeConstants LayerType, RegionConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Region(LayerTypeConstants LayerType, RegionConstants newVal) override;
  HRESULT STDMETHODCALLTYPE get_RgnLeft(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_RgnLeft(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_RgnTop(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_RgnTop(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_RgnRight(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_RgnRight(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_RgnBottom(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_RgnBottom(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_RgnRoundRectEllipseWidth(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_RgnRoundRectEllipseWidth(LayerTypeConstants LayerType, LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_RgnRoundRectEllipseHeight(LayerTypeConstants LayerType, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_RgnRoundRectEllipseHeight(LayerTypeConstants LayerType, LONG newVal) override;

  // IKMVVOvLyOld2. These do not take the filter lock: the size
  // recomputation may stop and reconnect the graph, which waits for the
  // streaming threads that hold it.
  HRESULT STDMETHODCALLTYPE get_OutputSizeType(OutputSizeTypeConstants* pVal) override;
  HRESULT STDMETHODCALLTYPE put_OutputSizeType(OutputSizeTypeConstants newVal) override;
  HRESULT STDMETHODCALLTYPE get_OutputWidth(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_OutputWidth(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_OutputHeight(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_OutputHeight(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE ResetToDefaultsEx(KMVOverlay_APILEVEL ApiLevel) override;

  // IKMVVOvLy
  HRESULT STDMETHODCALLTYPE put_OverlayImageDIBPointer64(INT64 newVal) override;
  HRESULT STDMETHODCALLTYPE put_MaskImageDIBPointer64(LayerTypeConstants LayerType, INT64 newVal) override;

 protected:
  COverlayControlHost& ControlHost() const { return m_host; }

 private:
  ovl::SettingsAccess Access() const;

  COverlayControlHost& m_host;
};

#pragma once
// CVOvrLyFilter: the TERN Video Overlay Filter. Two RGB24 video inputs and
// one output; every main-input frame is composed from the background colour,
// both videos and the overlay image, each with its own position, region and
// drawing mode.
#include "engine/core/frame_compositor.h"
#include "engine/core/overlay_settings.h"
#include "engine/gdi/gdi_settings_host.h"
#include "persistence/filter/overlay_filter_control.h"
#include "streaming/input_pairing.h"
#include "streaming/multi_input_transform_filter.h"

class COverlayInputPin;

class CVOvrLyFilter : public CMultipleInputPinTransformFilter,
                      public CPersistStream,
                      public ISpecifyPropertyPages,
                      public COverlayFilterControl,
                      private COverlayControlHost,
                      private COverlayPinHost {
 public:
  static CUnknown* CALLBACK CreateInstance(LPUNKNOWN outer, HRESULT* phr);

  CVOvrLyFilter(LPUNKNOWN outer, HRESULT* phr);
  ~CVOvrLyFilter() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

  // --- saved with the graph ---
  HRESULT WriteToStream(IStream* stream) override;
  HRESULT ReadFromStream(IStream* stream) override;

  // --- the pairing of the two inputs follows the filter's state ---
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT StartStreaming() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  void BeginSeek() override;
  void EndSeek() override;

  // --- frames ---
  using CMultipleInputPinTransformFilter::Transform;
  HRESULT Transform(int pinIndex, IMediaSample* in, IMediaSample* paired, IMediaSample* out) override;

  // --- media types and the output size ---
  HRESULT CheckInputType(const CMediaType* type) override;
  HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  using CMultipleInputPinTransformFilter::BreakConnect;
  using CMultipleInputPinTransformFilter::CompleteConnect;
  HRESULT CompleteConnect(PIN_DIRECTION direction, int pinIndex, IPin* receivePin) override;
  HRESULT BreakConnect(PIN_DIRECTION direction, int pinIndex) override;
  int MaxInputPins() const override { return 2; }
  HRESULT RecomputeOutputSize();
  HRESULT ReconnectGraph();

  // --- settings ---
  ovl::OverlaySettings& Settings() { return m_settings; }
  ovl::SettingsAccess& Access() { return m_access; }
  bool IsInputPinConnected(int index);

  // The pictures as the output connection sized them (for tests and tools).
  const ovl::FrameCompositor& Compositor() const { return m_compositor; }
  // Fixes the strip workers and rows per strip from the next connection of
  // the output, so that tests share even small frames among several
  // threads (0: automatic).
  void FixStripSharing(int workers, int stripRows) {
    m_fixedStripWorkers = workers;
    m_fixedStripRows = stripRows;
  }

 protected:
  CMuxTransformInputPin* CreateInputPin(int index, LPCWSTR name, HRESULT* phr) override;

 private:
  // The filter's side of the settings: regions through GDI, the background
  // surface, the output size and the pins.
  class Host : public ovl::gdi::GdiSettingsHost {
   public:
    explicit Host(CVOvrLyFilter& filter) : m_filter(filter) {}
    void LockFilter() override { m_filter.m_csFilterLock.Lock(); }
    void UnlockFilter() override { m_filter.m_csFilterLock.Unlock(); }
    ovl::HResult BackgroundColorChanged(std::uint32_t colorref) override;
    void OutputSizeSettingsChanged() override { m_filter.RecomputeOutputSize(); }
    bool InputPinExists(int index) const override { return m_filter.COverlayFilterControl::InputPinExists(index); }
    bool InputPinConnected(int index) const override { return m_filter.COverlayFilterControl::InputPinConnected(index); }

   private:
    CVOvrLyFilter& m_filter;
  };

  // What the control surface asks of the filter.
  ovl::OverlaySettings& OverlaySettingsRecord() override { return m_settings; }
  ovl::SettingsHost& OverlaySettingsHost() override { return m_host; }
  bool VideoSourceHeader(int input, BITMAPINFOHEADER* header) override;
  IPin* OverlayInputPin(int index) override;
  IPin* OverlayOutputPin() override;
  IFilterGraph* OverlayFilterGraph() override { return m_pGraph; }

  COverlayInputPin* OverlayPin(int index) const;
  HRESULT BuildSurfaces();

  ovl::OverlaySettings m_settings;
  Host m_host;
  ovl::SettingsAccess m_access;
  ovl::FrameCompositor m_compositor;
  // Helpers that share each frame's strips with the streaming thread:
  // started when streaming starts, joined when the filter stops.
  ovl::WorkerPool m_stripPool;
  int m_fixedStripWorkers = 0;
  int m_fixedStripRows = 0;
  BITMAPINFOHEADER m_video1Header;  // biSize 0 while input 0 is not connected
  BITMAPINFOHEADER m_video2Header;
  InputPairing m_pairing;
};

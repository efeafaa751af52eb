#pragma once
// A video transform filter with a growing set of input pins and one output
// pin. Every sample that arrives on an input becomes at most one output
// sample through the per-pin Transform and is delivered downstream at once.
// Input pins are numbered from 0; the output pin always follows the last
// input, so its index moves when an input is added.
#include "streaming/base/base_classes.h"

class CMuxTransformInputPin;
class CMuxDynamicOutputPin;

// The format of the input whose media type was set last.
struct InputFormatRecord {
  LONG width = 0;
  LONG height = 0;
  LONG bitCount = 0;
  LONG stride = 0;
  LONG imageSize = 0;
  BOOL greyRamp = FALSE;
  LONG paletteEntries = 0;
  RGBQUAD palette[256] = {};
};

class CMultipleInputPinTransformFilter : public CVideoTransformFilter {
 public:
  static constexpr int kMaxInputPins = 16;

  CMultipleInputPinTransformFilter(const TCHAR* name, LPUNKNOWN outer, REFCLSID clsid, HRESULT* phr);
  ~CMultipleInputPinTransformFilter() override;

  // --- pins ---
  int GetPinCount() override;
  CBasePin* GetPin(int n) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** ppPin) override;
  CMuxTransformInputPin* InputPin(int index) const;  // null when absent
  CMuxDynamicOutputPin* OutputPin() const { return m_pOutputPin; }
  int InputPinCount() const { return m_nInputPins; }
  // Adds an input when every existing one is connected (up to MaxInputPins()).
  void GrowInputPins();
  virtual int MaxInputPins() const { return kMaxInputPins; }

  // --- state ---
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  // The graph's state as IMediaControl reports it (1 s wait): 0 outside a
  // graph, E_NOINTERFACE when the graph offers no IGraphBuilder/IMediaControl.
  HRESULT GraphState(LONG* state);

  // --- what the concrete filter supplies ---
  // `paired` is the sample of another input this frame is composed with
  // (or null), as the filter's pairing of its inputs chose it.
  virtual HRESULT Transform(int pinIndex, IMediaSample* in, IMediaSample* paired, IMediaSample* out) = 0;
  virtual HRESULT CompleteConnect(PIN_DIRECTION direction, int pinIndex, IPin* receivePin) = 0;
  virtual HRESULT BreakConnect(PIN_DIRECTION direction, int pinIndex) = 0;
  virtual void BeginSeek() {}
  virtual void EndSeek() {}

  // --- frame behaviour ---
  HRESULT StopStreaming() override { return S_OK; }
  HRESULT AlterQuality(Quality) override { return S_FALSE; }  // pass it upstream
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
  HRESULT CheckConnect(PIN_DIRECTION, IPin*) override { return S_OK; }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  // Begin-flush and end-flush passed downstream.
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // One input sample through Transform and on downstream.
  virtual HRESULT Receive(int pinIndex, IMediaSample* sample, IMediaSample* paired = nullptr);
  virtual HRESULT InitializeOutputSample(int pinIndex, IMediaSample* in, IMediaSample** out);
  // End of stream downstream once every connected input has ended.
  HRESULT EndOfStreamFromInput(CMuxTransformInputPin* pin);

  CCritSec* FilterLock() { return &m_csFilterLock; }
  const InputFormatRecord& LastInputFormat() const { return m_inputFormat; }

 protected:
  friend class CMuxTransformInputPin;
  friend class CMuxDynamicOutputPin;

  // Pin factories; a null result (or a failure code) means no pin.
  virtual CMuxTransformInputPin* CreateInputPin(int index, LPCWSTR name, HRESULT* phr);
  virtual CMuxDynamicOutputPin* CreateOutputPin(LPCWSTR name, HRESULT* phr);

  HRESULT DeliverDownstream(IMediaSample* sample);

  CCritSec m_csFilterLock;   // the lock of every pin, of Pause, flushing and the compositor
  CCritSec m_csReceiveLock;  // held by Pause around StartStreaming
  HANDLE m_evStop;           // given to the output pin for blocking and reconnection
  InputFormatRecord m_inputFormat;
  CMuxDynamicOutputPin* m_pOutputPin;
  CMuxTransformInputPin* m_apInputPins[kMaxInputPins];
  int m_nInputPins;
};

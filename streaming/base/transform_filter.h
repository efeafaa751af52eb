#pragma once
// A one-input, one-output filter that turns every input sample into at most
// one output sample. A derived filter supplies the type checks, the output
// types, the buffer size and Transform; the layer does the rest: pins,
// allocators, sample properties, state changes, flushing, end of stream.
#include "streaming/base/base_filter.h"
#include "streaming/base/critical_section.h"
#include "streaming/base/media_type.h"
#include "streaming/base/transform_input_pin.h"
#include "streaming/base/transform_output_pin.h"

class CTransformFilter : public CBaseFilter {
 public:
  CTransformFilter(const TCHAR* name, LPUNKNOWN outer, REFCLSID clsid);
  ~CTransformFilter() override;

  // Pin 0 is the input "XForm In", pin 1 the output "XForm Out"; both are
  // made on first use.
  int GetPinCount() override;
  CBasePin* GetPin(int n) override;
  // "In" or the input's name; "Out" or the output's name.
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** ppPin) override;

  // Pause starts streaming (StartStreaming) when leaving Stopped with both
  // pins connected, and sends end of stream downstream once when nothing is
  // connected upstream. Stop waits for a Receive in progress and ends
  // streaming (StopStreaming).
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Stop() override;

  // --- what a derived filter supplies ---
  // Fills the output sample from the input sample: S_OK delivers it, S_FALSE
  // skips it (a dropped frame), a failure goes back upstream.
  virtual HRESULT Transform(IMediaSample* in, IMediaSample* out);
  virtual HRESULT CheckInputType(const CMediaType* type) = 0;
  virtual HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) = 0;
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT GetMediaType(int position, CMediaType* type) = 0;

  // --- optional hooks ---
  virtual HRESULT StartStreaming();
  virtual HRESULT StopStreaming();
  // A quality message from downstream: S_FALSE passes it upstream.
  virtual HRESULT AlterQuality(Quality quality);
  virtual HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type);
  virtual HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin);
  virtual HRESULT BreakConnect(PIN_DIRECTION direction);
  virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin);

  // --- the stream, entered through the input pin ---
  virtual HRESULT Receive(IMediaSample* sample);
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  // An output sample carrying the input sample's times and flags.
  virtual HRESULT InitializeOutputSample(IMediaSample* sample, IMediaSample** outSample);

  CCritSec* pStateLock() { return &m_csFilter; }

 protected:
  friend class CTransformInputPin;
  friend class CTransformOutputPin;

  // A sample produced no output (a dropped frame): the next output says so,
  // and the graph hears EC_QUALITY_CHANGE once per pause.
  void NoteSkippedSample();

  BOOL m_bEOSDelivered;    // end of stream sent by Pause without an input
  BOOL m_bSampleSkipped;   // the last sample produced no output
  BOOL m_bQualityChanged;  // EC_QUALITY_CHANGE sent since the last Pause

  CCritSec m_csFilter;   // state lock, also the pins' lock
  CCritSec m_csReceive;  // held around each Receive and end of stream

  CTransformInputPin* m_pInput;
  CTransformOutputPin* m_pOutput;
};

#pragma once
// The overlay filter's input pins. Input 0 (the main input) makes the output
// frames; input 1 lends its samples: its streaming thread parks inside
// Receive holding the sample until input 0 has used it. Input 0 waits, for
// each of its samples, until input 1 holds one that still covers its start.
#include "streaming/input_handshake.h"
#include "streaming/mux_transform_input_pin.h"

class COverlayInputPin : public CMuxTransformInputPin {
 public:
  // The shortest span a frame is shown for when its media type gives none (1/24 s).
  static constexpr REFERENCE_TIME kDefaultFrameDuration = 416666;

  COverlayInputPin(int index, CMultipleInputPinTransformFilter* filter, InputHandshake* handshake, HRESULT* phr,
                   LPCWSTR name);
  ~COverlayInputPin() override;

  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;

  // The sample input 1 holds right now, or the one the main input is
  // composing with, with a reference for the caller (or null).
  IMediaSample* AcquireHeldSample();
  void ClearHeldSample();
  // The held sample the main input chose for the frame it composes (the
  // caller keeps a reference while it is set), or null.
  void SetComposing(IMediaSample* sample);

  REFERENCE_TIME FrameDuration() const { return m_rtFrameDuration; }
  void SetFrameDuration(REFERENCE_TIME duration) {
    m_rtFrameDuration = duration != 0 ? duration : kDefaultFrameDuration;
  }

 private:
  COverlayInputPin* Other(int index) const;
  HRESULT ReceiveMain(IMediaSample* sample);
  HRESULT ReceiveSecond(IMediaSample* sample);
  // How input 1's held sample serves a main sample: not at all, as long as
  // it covers the main sample's start, or once (it has no times). `held`
  // receives the sample looked at, with a reference, or null.
  enum class Cover { None, Covers, Once };
  Cover HeldSampleCovers(IMediaSample* main, IMediaSample** held);
  // Whether the main input's waiting sample must leave now (flush, stop,
  // end of stream, position change), with the answer for upstream.
  bool MainMustLeave(COverlayInputPin* second, HRESULT* result);

  InputHandshake* m_pHandshake;
  CCritSec m_csHeld;              // guards the held pointer while it changes hands
  IMediaSample* m_pHeldSample;    // no reference of its own: the holding call has not returned
  IMediaSample* m_pComposing;     // set by the main input while it composes; it holds the reference
  REFERENCE_TIME m_rtFrameDuration;
};

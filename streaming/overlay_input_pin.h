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

  // The sample input 1 holds right now, with a reference for the caller (or null).
  IMediaSample* AcquireHeldSample();
  void ClearHeldSample();

  REFERENCE_TIME FrameDuration() const { return m_rtFrameDuration; }
  void SetFrameDuration(REFERENCE_TIME duration) {
    m_rtFrameDuration = duration != 0 ? duration : kDefaultFrameDuration;
  }

 private:
  COverlayInputPin* Other(int index) const;
  HRESULT ReceiveMain(IMediaSample* sample);
  HRESULT ReceiveSecond(IMediaSample* sample);
  // Whether input 1's held sample covers a main sample starting at `start`.
  bool HeldSampleCovers(IMediaSample* main);

  InputHandshake* m_pHandshake;
  CCritSec m_csHeld;              // guards the held pointer while it changes hands
  IMediaSample* m_pHeldSample;    // no reference of its own: the holding call has not returned
  REFERENCE_TIME m_rtFrameDuration;
};

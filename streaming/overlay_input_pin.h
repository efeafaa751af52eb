#pragma once
// The overlay filter's input pins. Input 0 (the main input) makes the output
// frames; input 1 lends its samples. How the two wait for each other is the
// filter's InputPairing; the pins hand every sample to it.
#include "streaming/input_pairing.h"
#include "streaming/mux_transform_input_pin.h"

class COverlayInputPin : public CMuxTransformInputPin {
 public:
  COverlayInputPin(int index, CMultipleInputPinTransformFilter* filter, InputPairing* pairing, HRESULT* phr,
                   LPCWSTR name);
  ~COverlayInputPin() override;

  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;

 private:
  InputPairing* m_pPairing;
};

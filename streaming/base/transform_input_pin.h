#pragma once
// The transform filter's input pin: connection hooks and the stream go to
// the filter.
#include "streaming/base/input_pin.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
 public:
  CTransformInputPin(const TCHAR* objectName, CTransformFilter* filter, HRESULT* phr, LPCWSTR name);

  // Every transform input answers "In".
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  // The filter's CheckInputType, then CheckTransform against a connected output.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  // Also VFW_E_NOT_CONNECTED while the output is unconnected.
  HRESULT CheckStreaming() override;

  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

 protected:
  CTransformFilter* m_pTransformFilter;
};

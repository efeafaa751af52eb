#pragma once
// An input pin of the multiple-input frame: its lock is the filter lock, its
// checks and connection steps go to the filter with the pin's index.
#include <atomic>

#include "streaming/base/base_classes.h"

class CMultipleInputPinTransformFilter;

class CMuxTransformInputPin : public CBaseInputPin {
 public:
  CMuxTransformInputPin(int index, const TCHAR* objectName, CMultipleInputPinTransformFilter* filter,
                        HRESULT* phr, LPCWSTR name);

  int Index() const { return m_nIndex; }
  bool IsEndOfStream() const { return m_bEndOfStream; }
  void SetEndOfStream(bool ended) { m_bEndOfStream = ended; }

  // Every input answers "In"; the filter resolves it to its highest input.
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT CheckStreaming() override;

  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;

 protected:
  CMultipleInputPinTransformFilter* m_pFilter;
  int m_nIndex;
  std::atomic<bool> m_bEndOfStream;  // read by the other input's streaming thread
};

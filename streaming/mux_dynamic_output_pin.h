#pragma once
// The output pin of the multiple-input frame: types and buffer sizes come
// from the filter, checked against every connected input; deliveries are
// bracketed by StartUsingOutputPin / StopUsingOutputPin.
//
// Seeking: the pin answers IMediaSeeking itself and passes each call upstream
// through one platform seeking pass-through per input (aggregated into this
// pin). Queries go to the main input's upstream alone; a change of position
// or time format goes to every connected input, so both sources move.
#include <vector>

#include "persistence/core/com_ptr.h"
#include "streaming/base/base_classes.h"

class CMultipleInputPinTransformFilter;

class CMuxDynamicOutputPin : public CDynamicOutputPin, public IMediaSeeking {
 public:
  CMuxDynamicOutputPin(const TCHAR* objectName, CMultipleInputPinTransformFilter* filter, HRESULT* phr,
                       LPCWSTR name);
  ~CMuxDynamicOutputPin() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

  // Seeking support for one input is dropped when that input (re)connects,
  // and made again on the next query for IMediaSeeking or IMediaPosition.
  virtual void ReleasePassThrough(int inputIndex);

  // IMediaSeeking
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                              const GUID* sourceFormat) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;

 protected:
  static constexpr int kMaxInputs = 16;

  // Makes the pass-throughs missing for existing inputs; the first failure.
  HRESULT CreatePassThroughs();
  // Input i's pass-through with a reference of its own (or null), so that a
  // reconnection meanwhile cannot destroy it under a forwarded call.
  ovl::ComPtr<IUnknown> TakePassThrough(int index);
  // Input i's upstream IMediaSeeking through its pass-through, with a
  // reference; null when there is no pass-through or it offers none.
  ovl::ComPtr<IMediaSeeking> UpstreamSeeking(int index);
  // Runs `call` on the main input's upstream; E_NOTIMPL when the main input
  // has no seeking.
  template <class F>
  HRESULT ForwardToMain(F&& call);
  // Whether the main input has a pass-through (E_NOTIMPL for changes otherwise).
  bool HasMainPassThrough();
  // Runs `call(index, seeking)` for every connected input in order, with its
  // upstream IMediaSeeking (null when it has none), until `call` returns false.
  template <class F>
  void ForEachConnectedInput(F&& call);

  CMultipleInputPinTransformFilter* m_pFilter;
  ovl::ComPtr<IUnknown> m_apPosPassThru[kMaxInputs];  // inner unknowns of the aggregated pass-throughs
  // Pass-throughs dropped on reconnection stay alive until the pin goes: a
  // client may still hold the IMediaPosition one of them handed out.
  std::vector<ovl::ComPtr<IUnknown>> m_retiredPassThrus;
  CCritSec m_csSeeking;  // guards the pass-through table; never held while calling out
};

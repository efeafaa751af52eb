#pragma once
// An output pin whose data flow can be blocked while the filter runs
// (IPinFlowControl). Streaming threads bracket every delivery with
// StartUsingOutputPin/StopUsingOutputPin; a block requested while deliveries
// are in progress stays pending until the last one ends, and a blocked pin
// makes StartUsingOutputPin wait until it is unblocked or the stop event
// (given by SetConfigInfo) is set.
#include "streaming/base/output_pin.h"

class CDynamicOutputPin : public CBaseOutputPin, public IPinFlowControl {
 public:
  CDynamicOutputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name);
  ~CDynamicOutputPin() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IPinFlowControl: AM_PIN_FLOW_CONTROL_BLOCK blocks (asynchronously when an
  // event is given, which is set once the block is in effect), 0 unblocks.
  HRESULT STDMETHODCALLTYPE Block(DWORD flags, HANDLE event) override;

  // The graph's IGraphConfig (no reference kept: the graph owns the filter)
  // and the event that tells waiting streaming threads the filter stops.
  void SetConfigInfo(IGraphConfig* graphConfig, HANDLE stopEvent);

  // E_FAIL until SetConfigInfo gave both; resets the stop event and commits.
  HRESULT Active() override;
  // Sets the stop event first, so that no streaming thread stays waiting.
  HRESULT Inactive() override;
  HRESULT DeliverBeginFlush() override;
  HRESULT DeliverEndFlush() override;

  // VFW_E_STATE_CHANGED when the stop event ends the wait for an unblock.
  // Never call it twice on one thread without StopUsingOutputPin in between
  // while a block may be requested: the block would wait for this thread.
  virtual HRESULT StartUsingOutputPin();
  virtual void StopUsingOutputPin();
  virtual bool StreamingThreadUsingOutputPin();
  // Runs `deliver` while the pin is in use; a failed start is returned.
  template <class F>
  HRESULT Using(F&& deliver);

 protected:
  enum BLOCK_STATE { NOT_BLOCKED, PENDING, BLOCKED };

  HRESULT AsynchronousBlockOutputPin(HANDLE notifyCallerPinBlockedEvent);
  HRESULT SynchronousBlockOutputPin();
  HRESULT UnblockOutputPin();

  CCritSec m_BlockStateLock;  // held briefly, never while waiting
  BLOCK_STATE m_BlockState;
  HANDLE m_hUnblockOutputPinEvent;        // set while not blocked; owned
  HANDLE m_hNotifyCallerPinBlockedEvent;  // the blocker's event while pending; not owned
  DWORD m_dwBlockCallerThreadID;
  DWORD m_dwNumOutstandingOutputPinUsers;
  HANDLE m_hStopEvent;                    // not owned
  IGraphConfig* m_pGraphConfig;           // no reference
};

// The streaming thread's use of a dynamic output pin for one scope: started
// on construction, stopped on destruction when the start succeeded.
class OutputPinInUse {
 public:
  explicit OutputPinInUse(CDynamicOutputPin* pin) : pin_(pin), started_(pin->StartUsingOutputPin()) {}
  ~OutputPinInUse() {
    if (SUCCEEDED(started_)) pin_->StopUsingOutputPin();
  }
  OutputPinInUse(const OutputPinInUse&) = delete;
  OutputPinInUse& operator=(const OutputPinInUse&) = delete;
  HRESULT Started() const { return started_; }

 private:
  CDynamicOutputPin* pin_;
  HRESULT started_;
};

template <class F>
HRESULT CDynamicOutputPin::Using(F&& deliver) {
  const OutputPinInUse use(this);
  if (FAILED(use.Started())) return use.Started();
  return deliver();
}

#include "streaming/base/dynamic_output_pin.h"

CDynamicOutputPin::CDynamicOutputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                                     LPCWSTR name)
    : CBaseOutputPin(objectName, filter, lock, phr, name),
      m_BlockState(NOT_BLOCKED),
      m_hUnblockOutputPinEvent(CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      m_hNotifyCallerPinBlockedEvent(nullptr),
      m_dwBlockCallerThreadID(0),
      m_dwNumOutstandingOutputPinUsers(0),
      m_hStopEvent(nullptr),
      m_pGraphConfig(nullptr) {
  if (m_hUnblockOutputPinEvent == nullptr && phr != nullptr) *phr = HRESULT_FROM_WIN32(GetLastError());
}

CDynamicOutputPin::~CDynamicOutputPin() {
  if (m_hUnblockOutputPinEvent != nullptr) CloseHandle(m_hUnblockOutputPinEvent);
}

HRESULT STDMETHODCALLTYPE CDynamicOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IPinFlowControl)) return GetInterface(static_cast<IPinFlowControl*>(this), ppv);
  return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

void CDynamicOutputPin::SetConfigInfo(IGraphConfig* graphConfig, HANDLE stopEvent) {
  CAutoLock lock(&m_BlockStateLock);
  m_pGraphConfig = graphConfig;
  m_hStopEvent = stopEvent;
}

HRESULT CDynamicOutputPin::Active() {
  if (m_pGraphConfig == nullptr || m_hStopEvent == nullptr) return E_FAIL;
  ResetEvent(m_hStopEvent);
  return CBaseOutputPin::Active();
}

HRESULT CDynamicOutputPin::Inactive() {
  if (m_hStopEvent != nullptr) SetEvent(m_hStopEvent);
  return CBaseOutputPin::Inactive();
}

HRESULT CDynamicOutputPin::DeliverBeginFlush() {
  if (m_hStopEvent != nullptr) SetEvent(m_hStopEvent);
  return CBaseOutputPin::DeliverBeginFlush();
}

HRESULT CDynamicOutputPin::DeliverEndFlush() {
  if (m_hStopEvent != nullptr) ResetEvent(m_hStopEvent);
  return CBaseOutputPin::DeliverEndFlush();
}

HRESULT STDMETHODCALLTYPE CDynamicOutputPin::Block(DWORD flags, HANDLE event) {
  if ((flags & ~static_cast<DWORD>(AM_PIN_FLOW_CONTROL_BLOCK)) != 0) return E_INVALIDARG;
  if ((flags & AM_PIN_FLOW_CONTROL_BLOCK) == 0) {
    if (event != nullptr) return E_INVALIDARG;  // unblocking is always synchronous
    return UnblockOutputPin();
  }
  return event != nullptr ? AsynchronousBlockOutputPin(event) : SynchronousBlockOutputPin();
}

HRESULT CDynamicOutputPin::AsynchronousBlockOutputPin(HANDLE notifyCallerPinBlockedEvent) {
  CAutoLock lock(&m_BlockStateLock);
  if (m_BlockState != NOT_BLOCKED) {
    return m_dwBlockCallerThreadID == GetCurrentThreadId() ? VFW_E_PIN_ALREADY_BLOCKED_ON_THIS_THREAD
                                                           : VFW_E_PIN_ALREADY_BLOCKED;
  }
  // From here on new users wait; the ones inside finish first.
  if (!ResetEvent(m_hUnblockOutputPinEvent)) return HRESULT_FROM_WIN32(GetLastError());
  m_dwBlockCallerThreadID = GetCurrentThreadId();
  if (m_dwNumOutstandingOutputPinUsers == 0) {
    m_BlockState = BLOCKED;
    SetEvent(notifyCallerPinBlockedEvent);
  } else {
    m_BlockState = PENDING;
    m_hNotifyCallerPinBlockedEvent = notifyCallerPinBlockedEvent;
  }
  return S_OK;
}

HRESULT CDynamicOutputPin::SynchronousBlockOutputPin() {
  HANDLE blocked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (blocked == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  HRESULT hr = AsynchronousBlockOutputPin(blocked);
  if (SUCCEEDED(hr)) {
    // Ends when the last user leaves or when someone unblocks meanwhile.
    if (WaitForSingleObject(blocked, INFINITE) != WAIT_OBJECT_0) hr = HRESULT_FROM_WIN32(GetLastError());
    CAutoLock lock(&m_BlockStateLock);
    if (m_hNotifyCallerPinBlockedEvent == blocked) m_hNotifyCallerPinBlockedEvent = nullptr;
  }
  CloseHandle(blocked);
  return hr;
}

HRESULT CDynamicOutputPin::UnblockOutputPin() {
  CAutoLock lock(&m_BlockStateLock);
  if (m_BlockState == NOT_BLOCKED) return S_FALSE;
  if (!SetEvent(m_hUnblockOutputPinEvent)) return HRESULT_FROM_WIN32(GetLastError());
  // A pending block that is cancelled still releases whoever waits for it.
  if (m_BlockState == PENDING && m_hNotifyCallerPinBlockedEvent != nullptr) SetEvent(m_hNotifyCallerPinBlockedEvent);
  m_hNotifyCallerPinBlockedEvent = nullptr;
  m_BlockState = NOT_BLOCKED;
  m_dwBlockCallerThreadID = 0;
  return S_OK;
}

HRESULT CDynamicOutputPin::StartUsingOutputPin() {
  m_BlockStateLock.Lock();
  while (m_BlockState != NOT_BLOCKED) {
    HANDLE events[2] = {m_hUnblockOutputPinEvent, m_hStopEvent};
    const DWORD count = m_hStopEvent != nullptr ? 2 : 1;
    m_BlockStateLock.Unlock();
    const DWORD waited = WaitForMultipleObjects(count, events, FALSE, INFINITE);
    if (waited == WAIT_OBJECT_0 + 1) return VFW_E_STATE_CHANGED;
    if (waited != WAIT_OBJECT_0) return E_UNEXPECTED;
    m_BlockStateLock.Lock();  // unblocked: look again, someone may block anew
  }
  ++m_dwNumOutstandingOutputPinUsers;
  m_BlockStateLock.Unlock();
  return S_OK;
}

void CDynamicOutputPin::StopUsingOutputPin() {
  CAutoLock lock(&m_BlockStateLock);
  if (m_dwNumOutstandingOutputPinUsers == 0) return;  // unbalanced call; nothing to release
  --m_dwNumOutstandingOutputPinUsers;
  if (m_dwNumOutstandingOutputPinUsers == 0 && m_BlockState == PENDING) {
    m_BlockState = BLOCKED;
    if (m_hNotifyCallerPinBlockedEvent != nullptr) SetEvent(m_hNotifyCallerPinBlockedEvent);
    m_hNotifyCallerPinBlockedEvent = nullptr;
  }
}

bool CDynamicOutputPin::StreamingThreadUsingOutputPin() {
  CAutoLock lock(&m_BlockStateLock);
  return m_dwNumOutstandingOutputPinUsers > 0;
}

#pragma once
// A reentrant lock (the filter and pin locks must be re-entered by the thread
// that holds them, e.g. Receive calling EndOfStream) and its scope guard.
#include <windows.h>

class CCritSec {
 public:
  CCritSec() { InitializeCriticalSection(&m_cs); }
  ~CCritSec() { DeleteCriticalSection(&m_cs); }
  CCritSec(const CCritSec&) = delete;
  CCritSec& operator=(const CCritSec&) = delete;

  void Lock() { EnterCriticalSection(&m_cs); }
  void Unlock() { LeaveCriticalSection(&m_cs); }

 private:
  CRITICAL_SECTION m_cs;
};

class CAutoLock {
 public:
  explicit CAutoLock(CCritSec* lock) : m_pLock(lock) { m_pLock->Lock(); }
  ~CAutoLock() { m_pLock->Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCritSec* m_pLock;
};

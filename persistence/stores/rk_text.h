#pragma once
// Text helpers of the Windows stores: ANSI (the thread's code page) and
// UTF-16 conversions and the typed-value <-> text conversions through
// VARIANTs. Conversions throw CRKHRFailedException (or std::bad_alloc); the
// back-ends turn both into HRESULTs at their interface.
#include <new>
#include <string>

#include "persistence/stores/rk_persistence.h"

// HRESULT of a failed system call: HRESULT_FROM_WIN32 of the last error, and
// E_FAIL when the system left no error code (a failure never reads as S_OK).
HRESULT RKHResultFromError(DWORD dwError);
inline HRESULT RKLastErrorHResult() { return RKHResultFromError(GetLastError()); }

std::wstring RKAnsiToWide(const char* text, size_t len);
inline std::wstring RKAnsiToWide(const std::string& text) {
  return RKAnsiToWide(text.data(), text.size());
}
std::string RKWideToAnsi(const wchar_t* text, size_t len);
inline std::string RKWideToAnsi(const std::wstring& text) {
  return RKWideToAnsi(text.data(), text.size());
}

// The text of a typed value (PutValue, kind 0): the bytes become the data of
// a VARIANT of type vt, converted to VT_BSTR with VariantChangeType. Empty
// text is refused with E_FAIL.
HRESULT RKTypedValueToText(const void* pData, ULONGLONG cbSize, VARTYPE vt, std::wstring* text);
// The reverse (GetValue, kind 0): empty text gives E_FAIL; a text that does
// not convert gives the conversion's HRESULT; the destination changes only
// on success.
HRESULT RKTextToTypedValue(const std::wstring& text, void* pData, ULONGLONG cbSize, VARTYPE vt);

// Checks the size argument of a typed value against its variant type.
HRESULT RKCheckTypedValue(ULONGLONG cbSize, VARTYPE vt);

// The ANSI text a typed value (kind 0, its VariantChangeType text) or a
// string field (kind 1, up to its NUL) is written as by the text stores.
// Other kinds are E_INVALIDARG.
HRESULT RKValueToAnsiText(const void* pData, ULONGLONG cbSize, DWORD dwKind, VARTYPE vt,
                          std::string* text);

// Owns a BSTR.
class CRKBstr {
 public:
  CRKBstr() : m_b(nullptr) {}
  explicit CRKBstr(const std::wstring& text);  // throws E_OUTOFMEMORY
  ~CRKBstr() { SysFreeString(m_b); }
  BSTR* operator&() { return &m_b; }
  operator BSTR() const { return m_b; }
  UINT Length() const { return SysStringLen(m_b); }
  CRKBstr(const CRKBstr&) = delete;
  CRKBstr& operator=(const CRKBstr&) = delete;

 private:
  BSTR m_b;
};

// Runs fn and turns what it throws into an HRESULT. Used at every boundary
// of the library: the back-end methods and the front operations.
template <class Fn>
HRESULT RKGuard(Fn&& fn) noexcept {
  try {
    return fn();
  } catch (const CRKHRFailedException& e) {
    return e.GetHResult();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

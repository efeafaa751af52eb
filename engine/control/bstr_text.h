#pragma once
// Text crossing the automation boundary: BSTRs outside, ANSI strings in the
// calling thread's ANSI code page inside (file names, the registry key path,
// the filter name handed to the stores).
#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <string>

namespace ovl::control {

// A new BSTR with the text of a NUL-terminated ANSI string that lies within
// `capacity` bytes (the text stops at the first NUL or at the capacity).
// E_POINTER for a null result, E_OUTOFMEMORY when the BSTR cannot be made.
HRESULT AnsiToBstr(const char* text, std::size_t capacity, BSTR* result);
inline HRESULT AnsiToBstr(const std::string& text, BSTR* result) {
  return AnsiToBstr(text.c_str(), text.size() + 1, result);
}

// A BSTR (null reads as empty) in the thread's ANSI code page. Text that has
// no exact ANSI form (a character the code page lacks, an embedded NUL) is
// E_INVALIDARG: a name with a character replaced would name another file.
HRESULT BstrToAnsi(BSTR text, std::string* result);

// A new BSTR copy of a wide string; E_OUTOFMEMORY when it cannot be made.
HRESULT CopyToBstr(const wchar_t* text, BSTR* result);

// Owns one BSTR.
class CBstr {
 public:
  CBstr() = default;
  explicit CBstr(BSTR owned) : m_b(owned) {}
  ~CBstr() { SysFreeString(m_b); }
  BSTR* operator&() { return &m_b; }
  operator BSTR() const { return m_b; }
  BSTR Get() const { return m_b; }
  CBstr(const CBstr&) = delete;
  CBstr& operator=(const CBstr&) = delete;

 private:
  BSTR m_b = nullptr;
};

}  // namespace ovl::control

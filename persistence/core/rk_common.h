#pragma once
// Result codes and limits shared by every part of the persistence library.
// The portable parts (buffers, Base64, stream records) use HRESULT too, so the
// Windows stores pass their results on unchanged; natively the few codes used
// are defined here with the platform's values.
#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
typedef std::int32_t HRESULT;
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_POINTER ((HRESULT)0x80004003u)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_UNEXPECTED ((HRESULT)0x8000FFFFu)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define STG_E_WRITEFAULT ((HRESULT)0x8003001Du)
#define STG_E_READFAULT ((HRESULT)0x8003001Eu)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#endif

// A string (or a whole form) does not fit the caller's field or block:
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER). The field is left unchanged.
#define RK_E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007Au)

// A stream or block ended before a value was complete: a read that delivers
// fewer bytes than asked is a failure, never a partly filled value.
#define RK_E_SHORT_READ STG_E_READFAULT

// A write that stored fewer bytes than given (a full medium).
#define RK_E_SHORT_WRITE STG_E_WRITEFAULT

// The file-name fields of the filter's settings hold 259 bytes and a NUL.
constexpr std::uint32_t kRKStringFieldSize = 260;

// Copies len bytes of text and a NUL into a field of `capacity` bytes. The one
// rule of every store for strings: text that does not fit (len >= capacity) is
// refused with RK_E_INSUFFICIENT_BUFFER and the field keeps its contents; it is
// never cut short, because a shortened file name names another file.
inline HRESULT RKCopyStringToField(char* field, std::uint64_t capacity, const char* text,
                                   std::size_t len) {
  if (field == nullptr) return E_POINTER;
  if (capacity == 0) return E_INVALIDARG;
  if (len >= capacity) return RK_E_INSUFFICIENT_BUFFER;
  if (len != 0) std::memcpy(field, text, len);
  field[len] = '\0';
  return S_OK;
}

// Length of the string a writer hands over in a field of `capacity` bytes
// (0: an ordinary NUL-terminated string). A field without a NUL inside its
// capacity is refused rather than read past its end.
inline HRESULT RKFieldStringLength(const char* field, std::uint64_t capacity, std::size_t* len) {
  if (field == nullptr || len == nullptr) return E_POINTER;
  if (capacity == 0) {
    *len = std::strlen(field);
    return S_OK;
  }
  const void* end = std::memchr(field, '\0', static_cast<std::size_t>(capacity));
  if (end == nullptr) return E_INVALIDARG;
  *len = static_cast<std::size_t>(static_cast<const char*>(end) - field);
  return S_OK;
}

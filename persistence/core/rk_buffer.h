#pragma once
// Growable byte buffers for the encoders and the trace log. The release and
// reallocate functions are chosen by the variant: CBuffer uses the C run-time,
// CHeapBuffer (Windows only) the process heap. Lengths are 32-bit; every
// growth failure is E_OUTOFMEMORY and leaves the content as it was.
#include <cstdarg>
#include <cstdint>

#include "persistence/core/rk_common.h"

#ifdef _WIN32
#include <wtypes.h>
#endif

class CBaseBuffer {
 public:
  typedef void (*ReleaseFn)(void* p);
  typedef void* (*ReallocFn)(void* p, std::size_t n);

  CBaseBuffer(ReleaseFn release, ReallocFn reallocate)
      : m_pData(nullptr), m_cbLength(0), m_cbCapacity(0), m_pfnRelease(release),
        m_pfnRealloc(reallocate) {}
  virtual ~CBaseBuffer();

  // Releases the data; length and capacity become 0. Returns 0.
  virtual int Free();
  // Grows the allocation to at least n bytes; never shrinks. Nonzero on
  // success, 0 when memory runs out (the old data stays valid).
  virtual int Reserve(std::uint32_t n);

  std::uint8_t* Data() { return m_pData; }
  const std::uint8_t* Data() const { return m_pData; }
  std::uint32_t Length() const { return m_cbLength; }
  std::uint32_t Capacity() const { return m_cbCapacity; }
  // Sets the count of bytes in use (at most the capacity).
  HRESULT SetLength(std::uint32_t n);

  // Appending. The text forms keep a NUL after the content (not counted in
  // the length), so Data() can be used as a C string.
  HRESULT AppendByte(std::uint8_t b);
  HRESULT AppendByteTerminated(std::uint8_t b);
  HRESULT AppendBytes(const void* p, std::uint32_t n);
  HRESULT AppendText(const char* text);
  HRESULT AppendFormat(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  HRESULT AppendFormatV(const char* format, va_list args);
  // Drops NUL bytes at the end of the content.
  void TrimTrailingNuls();
  // Exchanges contents, release and reallocate functions with another buffer.
  HRESULT Swap(CBaseBuffer* other);

#ifdef _WIN32
  // Appends a UTF-16 string converted with the given code page (at most 2^30
  // characters, else E_INVALIDARG), NUL-terminated.
  HRESULT AppendWide(const wchar_t* text, UINT codePage);
  // The content as a new BSTR, converted from the given code page.
  HRESULT ToBstr(UINT codePage, BSTR* result) const;
#endif

  CBaseBuffer(const CBaseBuffer&) = delete;
  CBaseBuffer& operator=(const CBaseBuffer&) = delete;

 protected:
  // Makes room for `extra` more bytes plus a terminator, growing by half
  // again when possible so repeated appends stay linear.
  HRESULT Grow(std::uint64_t extra);
  void Terminate() {
    if (m_cbCapacity > m_cbLength) m_pData[m_cbLength] = 0;
  }

  std::uint8_t* m_pData;
  std::uint32_t m_cbLength;
  std::uint32_t m_cbCapacity;
  ReleaseFn m_pfnRelease;
  ReallocFn m_pfnRealloc;
};

// C run-time buffer. It can also own a second buffer object, whose data and
// length it hands out and which Free and the destructor release.
class CBuffer : public CBaseBuffer {
 public:
  CBuffer();
  ~CBuffer() override;
  int Free() override;

  // Takes ownership of `other` (released with delete); a previous one is freed.
  void AttachSecondary(CBaseBuffer* other);
  const std::uint8_t* SecondaryData() const;
  std::uint32_t SecondaryLength() const;

 private:
  CBaseBuffer* m_pSecondary;
};

#ifdef _WIN32
// Process-heap buffer; the object itself lives on the process heap too, so it
// can be handed between modules that use different C run-times.
class CHeapBuffer : public CBaseBuffer {
 public:
  CHeapBuffer();
  ~CHeapBuffer() override;
  static void* operator new(std::size_t n);
  static void operator delete(void* p) noexcept;
};
#endif

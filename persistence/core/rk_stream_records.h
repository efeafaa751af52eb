#pragma once
// The record format of the stream store, apart from any stream type: values
// follow one another with no keys, tags or padding, integers little-endian.
//   typed value, binary block: the value's bytes as they are;
//   string: 0xFFFFFFFF, a 32-bit count n < 2^30 of UTF-16 code units, then
//           n * 2 bytes of UTF-16LE text (no terminator).
// Readers also accept the narrow string form: a 64-bit byte count (low word
// first, the low word not 0xFFFFFFFF) and that many ANSI bytes. It is never
// written.
//
// Reading is bounded twice: by the source (a read that gets fewer bytes than
// asked fails with RK_E_SHORT_READ) and by the destination field (a string
// that cannot fit is skipped and refused with RK_E_INSUFFICIENT_BUFFER).
#include <cstdint>
#include <string>

#include "persistence/core/rk_common.h"

// Where records are read from. ReadExact delivers exactly cb bytes or fails;
// Skip passes over cb bytes the same way.
class IRKByteSource {
 public:
  virtual HRESULT ReadExact(void* p, std::uint32_t cb) = 0;
  virtual HRESULT Skip(std::uint64_t cb);

 protected:
  ~IRKByteSource() = default;
};

// Where records are written to. WriteAll stores all cb bytes or fails.
class IRKByteSink {
 public:
  virtual HRESULT WriteAll(const void* p, std::uint32_t cb) = 0;

 protected:
  ~IRKByteSink() = default;
};

constexpr std::uint32_t kRKWideMarker = 0xFFFFFFFFu;
constexpr std::uint32_t kRKMaxWideUnits = 0x40000000u;  // counts from here on are refused
constexpr std::uint64_t kRKMaxRawValue = 0xFFFFFFFFu;   // larger values are refused

// One string record as read: UTF-16 units (wide form) or ANSI bytes.
struct RKStringRecord {
  bool wide = true;
  std::u16string units;
  std::string bytes;
};

// Writes a string record (one WriteAll). n >= 2^30 units: E_FAIL.
HRESULT RKWriteStringRecord(IRKByteSink& sink, const char16_t* units, std::size_t n);

// Reads one string record for a field of `capacity` bytes (NUL included).
// Narrow records of `capacity` bytes or more, and wide records too long to
// fit in any ANSI form (2 * capacity units or more: at least one byte for
// every two units), are skipped and give RK_E_INSUFFICIENT_BUFFER; a wide
// record that passes may still be too long once converted, which the caller
// checks with RKCopyStringToField. Counts the format does not allow give
// E_FAIL.
HRESULT RKReadStringRecord(IRKByteSource& source, std::uint64_t capacity, RKStringRecord* record);

// Size of the string record of n UTF-16 units.
constexpr std::uint64_t RKStringRecordSize(std::uint64_t n) { return 8 + 2 * n; }

// A source over a memory block; never reads past its end.
class CRKMemorySource : public IRKByteSource {
 public:
  CRKMemorySource(const void* p, std::size_t cb)
      : m_p(static_cast<const std::uint8_t*>(p)), m_cb(p != nullptr ? cb : 0), m_pos(0) {}
  virtual ~CRKMemorySource() = default;
  HRESULT ReadExact(void* p, std::uint32_t cb) override;
  HRESULT Skip(std::uint64_t cb) override;
  std::size_t Position() const { return m_pos; }

 private:
  const std::uint8_t* m_p;
  std::size_t m_cb;
  std::size_t m_pos;
};

// A sink that appends to a byte string.
class CRKStringSink : public IRKByteSink {
 public:
  virtual ~CRKStringSink() = default;
  HRESULT WriteAll(const void* p, std::uint32_t cb) override;
  std::string bytes;
};

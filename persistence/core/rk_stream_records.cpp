#include "persistence/core/rk_stream_records.h"

#include <new>
#include <vector>

namespace {

HRESULT ReadU32(IRKByteSource& source, std::uint32_t* value) {
  std::uint8_t b[4];
  const HRESULT hr = source.ReadExact(b, 4);
  if (FAILED(hr)) return hr;
  *value = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
  return S_OK;
}

// Reads cb bytes in rounds, so the memory taken follows the data that
// really arrives, not a count that damaged data may have made huge.
HRESULT ReadGrowing(IRKByteSource& source, std::uint64_t cb, std::string* out) {
  constexpr std::uint64_t kRound = 64 * 1024;
  out->clear();
  while (cb != 0) {
    const std::uint64_t round = cb < kRound ? cb : kRound;
    const size_t at = out->size();
    out->resize(at + static_cast<size_t>(round));
    const HRESULT hr = source.ReadExact(&(*out)[at], static_cast<std::uint32_t>(round));
    if (FAILED(hr)) return hr;
    cb -= round;
  }
  return S_OK;
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace

// Sources without a cheaper way read and drop in small rounds, so a huge
// count in damaged data ends at the source's end instead of allocating it.
HRESULT IRKByteSource::Skip(std::uint64_t cb) {
  std::uint8_t scratch[4096];
  while (cb != 0) {
    const std::uint32_t round = cb < sizeof scratch ? static_cast<std::uint32_t>(cb) : sizeof scratch;
    const HRESULT hr = ReadExact(scratch, round);
    if (FAILED(hr)) return hr;
    cb -= round;
  }
  return S_OK;
}

namespace {

HRESULT WriteStringRecord(IRKByteSink& sink, const char16_t* units, std::size_t n) {
  if (n >= kRKMaxWideUnits) return E_FAIL;
  if (units == nullptr && n != 0) return E_POINTER;
  std::vector<std::uint8_t> record(static_cast<std::size_t>(RKStringRecordSize(n)));
  PutU32(record.data(), kRKWideMarker);
  PutU32(record.data() + 4, static_cast<std::uint32_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    record[8 + 2 * i] = static_cast<std::uint8_t>(units[i]);
    record[9 + 2 * i] = static_cast<std::uint8_t>(units[i] >> 8);
  }
  return sink.WriteAll(record.data(), static_cast<std::uint32_t>(record.size()));
}

HRESULT ReadStringRecord(IRKByteSource& source, std::uint64_t capacity, RKStringRecord* record) {
  if (record == nullptr) return E_POINTER;
  if (capacity == 0) return E_INVALIDARG;
  std::uint32_t first = 0;
  HRESULT hr = ReadU32(source, &first);
  if (FAILED(hr)) return hr;

  if (first == kRKWideMarker) {
    std::uint32_t n = 0;
    hr = ReadU32(source, &n);
    if (FAILED(hr)) return hr;
    if (n >= kRKMaxWideUnits) return E_FAIL;
    if (n / 2 >= capacity) {
      hr = source.Skip(std::uint64_t{n} * 2);
      return FAILED(hr) ? hr : RK_E_INSUFFICIENT_BUFFER;
    }
    std::string raw;
    hr = ReadGrowing(source, std::uint64_t{n} * 2, &raw);
    if (FAILED(hr)) return hr;
    record->wide = true;
    record->bytes.clear();
    record->units.resize(n);
    for (std::uint32_t i = 0; i < n; ++i)
      record->units[i] = static_cast<char16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                               static_cast<std::uint8_t>(raw[2 * i + 1]) << 8);
    return S_OK;
  }

  std::uint32_t high = 0;
  hr = ReadU32(source, &high);
  if (FAILED(hr)) return hr;
  if (high != 0) return E_FAIL;  // more than 0xFFFFFFFF bytes
  if (first >= capacity) {
    hr = source.Skip(first);
    return FAILED(hr) ? hr : RK_E_INSUFFICIENT_BUFFER;
  }
  std::string bytes;
  hr = ReadGrowing(source, first, &bytes);
  if (FAILED(hr)) return hr;
  record->wide = false;
  record->units.clear();
  record->bytes.swap(bytes);
  return S_OK;
}

}  // namespace

HRESULT RKWriteStringRecord(IRKByteSink& sink, const char16_t* units, std::size_t n) {
  try {
    return WriteStringRecord(sink, units, n);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT RKReadStringRecord(IRKByteSource& source, std::uint64_t capacity, RKStringRecord* record) {
  try {
    return ReadStringRecord(source, capacity, record);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT CRKMemorySource::ReadExact(void* p, std::uint32_t cb) {
  if (cb > m_cb - m_pos) return RK_E_SHORT_READ;
  if (cb != 0) std::memcpy(p, m_p + m_pos, cb);
  m_pos += cb;
  return S_OK;
}

HRESULT CRKMemorySource::Skip(std::uint64_t cb) {
  if (cb > m_cb - m_pos) return RK_E_SHORT_READ;
  m_pos += static_cast<std::size_t>(cb);
  return S_OK;
}

HRESULT CRKStringSink::WriteAll(const void* p, std::uint32_t cb) {
  try {
    bytes.append(static_cast<const char*>(p), cb);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

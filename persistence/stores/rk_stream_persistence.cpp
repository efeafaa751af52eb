#include <vector>

#include "persistence/stores/rk_backends.h"
#include "persistence/core/rk_stream_records.h"
#include "persistence/stores/rk_text.h"

namespace {

// IStream as a record source and sink. Short transfers are failures: a
// stream that ends inside a value must not leave a partly filled field.
class StreamBytes : public IRKByteSource, public IRKByteSink {
 public:
  explicit StreamBytes(IStream* pStream) : m_pStream(pStream) {}
  virtual ~StreamBytes() = default;

  HRESULT ReadExact(void* p, std::uint32_t cb) override {
    ULONG got = 0;
    const HRESULT hr = m_pStream->Read(p, cb, &got);
    if (FAILED(hr)) return hr;
    return got == cb ? S_OK : RK_E_SHORT_READ;
  }
  HRESULT WriteAll(const void* p, std::uint32_t cb) override {
    ULONG written = 0;
    const HRESULT hr = m_pStream->Write(p, cb, &written);
    if (FAILED(hr)) return hr;
    return written == cb ? S_OK : RK_E_SHORT_WRITE;
  }

 private:
  IStream* m_pStream;
};

}  // namespace

CRKStreamPersistence::CRKStreamPersistence(IStream* pStream)
    : m_pStream(ovl::ComPtr<IStream>::Share(pStream)) {}

CRKStreamPersistence::~CRKStreamPersistence() = default;

HRESULT CRKStreamPersistence::PutValue(const void* pData, ULONGLONG cbSize, LPCSTR /*pszKey*/,
                                       DWORD dwKind, VARTYPE /*vt*/) {
  return RKGuard([&]() -> HRESULT {
    if (!m_pStream) return E_POINTER;
    if (pData == nullptr) return E_POINTER;
    StreamBytes bytes(m_pStream.Get());
    switch (dwKind) {
      case RK_VALUE_STRING: {
        size_t len = 0;
        HRESULT hr = RKFieldStringLength(static_cast<const char*>(pData), cbSize, &len);
        if (FAILED(hr)) return hr;
        const std::wstring wide = RKAnsiToWide(static_cast<const char*>(pData), len);
        const std::u16string units(wide.begin(), wide.end());
        return RKWriteStringRecord(bytes, units.data(), units.size());
      }
      case RK_VALUE_TYPED:
      case RK_VALUE_BINARY:
        if (cbSize > kRKMaxRawValue) return E_FAIL;
        return bytes.WriteAll(pData, static_cast<std::uint32_t>(cbSize));
      default:
        return E_INVALIDARG;
    }
  });
}

HRESULT CRKStreamPersistence::GetValue(void* pData, ULONGLONG cbSize, LPCSTR /*pszKey*/,
                                       DWORD dwKind, VARTYPE /*vt*/) {
  return RKGuard([&]() -> HRESULT {
    if (!m_pStream) return E_POINTER;
    if (pData == nullptr) return E_POINTER;
    StreamBytes bytes(m_pStream.Get());
    switch (dwKind) {
      case RK_VALUE_STRING: {
        RKStringRecord record;
        HRESULT hr = RKReadStringRecord(bytes, cbSize, &record);
        if (FAILED(hr)) return hr;
        if (record.wide) {
          const std::wstring wide(record.units.begin(), record.units.end());
          record.bytes = RKWideToAnsi(wide);
        }
        return RKCopyStringToField(static_cast<char*>(pData), cbSize, record.bytes.data(),
                                   record.bytes.size());
      }
      case RK_VALUE_TYPED:
      case RK_VALUE_BINARY: {
        if (cbSize > kRKMaxRawValue) return E_FAIL;
        // Read aside first: a short stream leaves the destination as it was.
        std::vector<BYTE> value(static_cast<size_t>(cbSize));
        if (cbSize != 0) {
          const HRESULT hr = bytes.ReadExact(value.data(), static_cast<std::uint32_t>(cbSize));
          if (FAILED(hr)) return hr;
          std::memcpy(pData, value.data(), value.size());
        }
        return S_OK;
      }
      default:
        return E_INVALIDARG;
    }
  });
}

#include <vector>

#include "persistence/stores/rk_backends.h"
#include "persistence/stores/rk_text.h"

namespace {

// The key of one access, opened (or created) with all access and closed at
// the end of the access.
class OpenKey {
 public:
  OpenKey(HKEY root, const std::string& path) : m_h(nullptr) {
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &m_h, nullptr) != ERROR_SUCCESS)
      m_h = nullptr;
  }
  ~OpenKey() {
    if (m_h != nullptr) RegCloseKey(m_h);
  }
  HKEY Get() const { return m_h; }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

 private:
  HKEY m_h;
};

// The data of a value of the given type; false when it is missing, of
// another type, or cannot be read.
bool QueryValue(HKEY key, LPCSTR name, DWORD wantedType, std::vector<BYTE>* data) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0, cb = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &cb) != ERROR_SUCCESS) return false;
    if (type != wantedType) return false;
    data->assign(static_cast<size_t>(cb) + 1, 0);  // + 1: room for a missing NUL
    DWORD got = cb;
    const LONG rc = RegQueryValueExA(key, name, nullptr, &type, data->data(), &got);
    if (rc == ERROR_MORE_DATA) continue;  // grew between the two calls
    if (rc != ERROR_SUCCESS || type != wantedType) return false;
    data->resize(got);
    return true;
  }
  return false;
}

}  // namespace

CRKRegReadablePersistence::CRKRegReadablePersistence(HKEY hRoot, LPCSTR pszKeyPath)
    : m_hRoot(hRoot), m_strKeyPath(pszKeyPath) {}

HRESULT CRKRegReadablePersistence::PutValue(const void* pData, ULONGLONG cbSize, LPCSTR pszKey,
                                            DWORD dwKind, VARTYPE vt) {
  return RKGuard([&]() -> HRESULT {
    if (pData == nullptr || pszKey == nullptr) return E_POINTER;
    std::string text;
    if (dwKind == RK_VALUE_BINARY) {
      if (cbSize > 0xFFFFFFFFu) return E_FAIL;
    } else {
      const HRESULT hr = RKValueToAnsiText(pData, cbSize, dwKind, vt, &text);
      if (FAILED(hr)) return hr;
    }
    OpenKey key(m_hRoot, m_strKeyPath);
    if (key.Get() == nullptr) return E_FAIL;
    LONG rc;
    if (dwKind == RK_VALUE_BINARY) {
      rc = RegSetValueExA(key.Get(), pszKey, 0, REG_BINARY, static_cast<const BYTE*>(pData),
                          static_cast<DWORD>(cbSize));
    } else {
      if (text.size() >= 0xFFFFFFFFu) return E_FAIL;
      rc = RegSetValueExA(key.Get(), pszKey, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
    }
    return rc == ERROR_SUCCESS ? S_OK : E_FAIL;
  });
}

HRESULT CRKRegReadablePersistence::GetValue(void* pData, ULONGLONG cbSize, LPCSTR pszKey,
                                            DWORD dwKind, VARTYPE vt) {
  return RKGuard([&]() -> HRESULT {
    if (pData == nullptr || pszKey == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    switch (dwKind) {
      case RK_VALUE_TYPED:
        hr = RKCheckTypedValue(cbSize, vt);
        break;
      case RK_VALUE_STRING:
        if (cbSize == 0) hr = E_INVALIDARG;
        break;
      case RK_VALUE_BINARY:
        if (cbSize > 0xFFFFFFFFu) hr = E_FAIL;
        break;
      default:
        hr = E_INVALIDARG;
    }
    if (FAILED(hr)) return hr;

    OpenKey key(m_hRoot, m_strKeyPath);  // creates a missing key, as a save would
    if (key.Get() == nullptr) return E_FAIL;
    std::vector<BYTE> data;
    if (dwKind == RK_VALUE_BINARY) {
      if (!QueryValue(key.Get(), pszKey, REG_BINARY, &data) || data.size() != cbSize) return E_FAIL;
      if (!data.empty()) std::memcpy(pData, data.data(), data.size());
      return S_OK;
    }
    if (!QueryValue(key.Get(), pszKey, REG_SZ, &data)) return E_FAIL;
    // REG_SZ data may or may not carry its NUL; the text ends at the first.
    size_t len = 0;
    while (len < data.size() && data[len] != 0) ++len;
    const char* text = reinterpret_cast<const char*>(data.data());
    if (dwKind == RK_VALUE_STRING)
      return RKCopyStringToField(static_cast<char*>(pData), cbSize, text, len);
    return RKTextToTypedValue(RKAnsiToWide(text, len), pData, cbSize, vt);
  });
}

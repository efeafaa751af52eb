#include <vector>

#include "persistence/stores/rk_backends.h"
#include "persistence/stores/rk_text.h"

namespace {

// Longest value text read for a typed value; numbers are far shorter, and a
// longer text cannot convert anyway.
constexpr DWORD kMaxTypedText = 4096;
// Largest string read buffer; a field larger than this still gets at most
// this much text.
constexpr ULONGLONG kMaxStringText = 1u << 20;

// Reads a value with a buffer of `room` bytes. *fits is false when the
// profile function had to cut the text (it then returns room - 1).
std::string ReadProfileText(const std::string& file, const std::string& section, LPCSTR key,
                            DWORD room, bool* fits) {
  std::vector<char> buffer(room, '\0');
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key, "", buffer.data(), room,
                                           file.c_str());
  *fits = n + 1 < room;
  return std::string(buffer.data(), n < room ? n : 0);
}

}  // namespace

CRKIniFilePersistence::CRKIniFilePersistence(LPCSTR pszFileName, LPCSTR pszSection)
    : m_strFileName(pszFileName), m_strSection(pszSection), m_bSectionNotCleared(1) {}

HRESULT CRKIniFilePersistence::PutValue(const void* pData, ULONGLONG cbSize, LPCSTR pszKey,
                                        DWORD dwKind, VARTYPE vt) {
  return RKGuard([&]() -> HRESULT {
    if (pData == nullptr || pszKey == nullptr) return E_POINTER;
    if (dwKind == RK_VALUE_BINARY) return E_NOTIMPL;
    std::string text;
    const HRESULT hr = RKValueToAnsiText(pData, cbSize, dwKind, vt, &text);
    if (FAILED(hr)) return hr;
    if (m_bSectionNotCleared) {
      // A file that does not exist yet has no section to clear, whatever the
      // profile function answers for it; the first write creates the file.
      if (!WritePrivateProfileStringA(m_strSection.c_str(), nullptr, nullptr,
                                      m_strFileName.c_str()) &&
          GetFileAttributesA(m_strFileName.c_str()) != INVALID_FILE_ATTRIBUTES)
        return E_FAIL;
      m_bSectionNotCleared = 0;
    }
    if (!WritePrivateProfileStringA(m_strSection.c_str(), pszKey, text.c_str(),
                                    m_strFileName.c_str()))
      return E_FAIL;
    return S_OK;
  });
}

HRESULT CRKIniFilePersistence::GetValue(void* pData, ULONGLONG cbSize, LPCSTR pszKey,
                                        DWORD dwKind, VARTYPE vt) {
  return RKGuard([&]() -> HRESULT {
    if (pData == nullptr || pszKey == nullptr) return E_POINTER;
    bool fits = false;
    switch (dwKind) {
      case RK_VALUE_TYPED: {
        const HRESULT hr = RKCheckTypedValue(cbSize, vt);
        if (FAILED(hr)) return hr;
        const std::string text = ReadProfileText(m_strFileName, m_strSection, pszKey,
                                                 kMaxTypedText, &fits);
        if (!fits) return E_FAIL;
        return RKTextToTypedValue(RKAnsiToWide(text), pData, cbSize, vt);
      }
      case RK_VALUE_STRING: {
        if (cbSize == 0) return E_INVALIDARG;
        // One byte more than the field: a text that fills it did not fit.
        const DWORD room = static_cast<DWORD>(cbSize < kMaxStringText ? cbSize : kMaxStringText) + 1;
        const std::string text = ReadProfileText(m_strFileName, m_strSection, pszKey, room, &fits);
        if (!fits) return RK_E_INSUFFICIENT_BUFFER;
        return RKCopyStringToField(static_cast<char*>(pData), cbSize, text.data(), text.size());
      }
      case RK_VALUE_BINARY:
        return E_NOTIMPL;
      default:
        return E_INVALIDARG;
    }
  });
}

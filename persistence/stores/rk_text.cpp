#include "persistence/stores/rk_text.h"

#include <climits>
#include <cstring>

HRESULT RKHResultFromError(DWORD dwError) {
  if (dwError == 0) return E_FAIL;
  return static_cast<HRESULT>(0x80070000u | (dwError & 0xFFFFu));
}

std::wstring RKAnsiToWide(const char* text, size_t len) {
  if (len == 0) return std::wstring();
  if (text == nullptr) throw CRKHRFailedException(E_POINTER);
  if (len > INT_MAX) throw CRKHRFailedException(E_INVALIDARG);
  const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(len), nullptr, 0);
  if (n <= 0) throw CRKHRFailedException(RKLastErrorHResult());
  std::wstring wide(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(len), &wide[0], n) != n)
    throw CRKHRFailedException(RKLastErrorHResult());
  return wide;
}

std::string RKWideToAnsi(const wchar_t* text, size_t len) {
  if (len == 0) return std::string();
  if (text == nullptr) throw CRKHRFailedException(E_POINTER);
  if (len > INT_MAX) throw CRKHRFailedException(E_INVALIDARG);
  const int n = WideCharToMultiByte(CP_THREAD_ACP, 0, text, static_cast<int>(len), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) throw CRKHRFailedException(RKLastErrorHResult());
  std::string ansi(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(CP_THREAD_ACP, 0, text, static_cast<int>(len), &ansi[0], n, nullptr,
                          nullptr) != n)
    throw CRKHRFailedException(RKLastErrorHResult());
  return ansi;
}

CRKBstr::CRKBstr(const std::wstring& text) : m_b(nullptr) {
  if (text.size() > UINT_MAX / 2) throw CRKHRFailedException(E_INVALIDARG);
  m_b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (m_b == nullptr) throw CRKHRFailedException(E_OUTOFMEMORY);
}

namespace {

// Byte size of the numeric variant types a typed value may have; 0 for the
// rest (strings, interfaces, references), whose data cannot be copied as
// plain bytes.
ULONGLONG TypedSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      return 8;
    default:
      return 0;
  }
}

// Clears a VARIANT when it goes out of scope.
struct VariantHolder {
  VARIANT v;
  VariantHolder() { VariantInit(&v); }
  ~VariantHolder() { VariantClear(&v); }
  BYTE* Data() { return &V_UI1(&v); }
};

}  // namespace

HRESULT RKCheckTypedValue(ULONGLONG cbSize, VARTYPE vt) {
  const ULONGLONG natural = TypedSize(vt);
  if (natural == 0 || cbSize == 0 || cbSize > natural) return E_INVALIDARG;
  return S_OK;
}

HRESULT RKTypedValueToText(const void* pData, ULONGLONG cbSize, VARTYPE vt, std::wstring* text) {
  if (pData == nullptr || text == nullptr) return E_POINTER;
  HRESULT hr = RKCheckTypedValue(cbSize, vt);
  if (FAILED(hr)) return hr;
  VariantHolder value, converted;
  value.v.vt = vt;
  std::memcpy(value.Data(), pData, static_cast<size_t>(cbSize));
  hr = VariantChangeType(&converted.v, &value.v, 0, VT_BSTR);
  if (FAILED(hr)) return hr;
  const BSTR b = V_BSTR(&converted.v);
  if (b == nullptr || SysStringLen(b) == 0) return E_FAIL;
  text->assign(b, SysStringLen(b));
  return S_OK;
}

HRESULT RKTextToTypedValue(const std::wstring& text, void* pData, ULONGLONG cbSize, VARTYPE vt) {
  if (pData == nullptr) return E_POINTER;
  HRESULT hr = RKCheckTypedValue(cbSize, vt);
  if (FAILED(hr)) return hr;
  if (text.empty()) return E_FAIL;
  VariantHolder value, converted;
  value.v.vt = VT_BSTR;
  V_BSTR(&value.v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (V_BSTR(&value.v) == nullptr) return E_OUTOFMEMORY;
  hr = VariantChangeType(&converted.v, &value.v, 0, vt);
  if (FAILED(hr)) return hr;
  std::memcpy(pData, converted.Data(), static_cast<size_t>(cbSize));
  return S_OK;
}

HRESULT RKValueToAnsiText(const void* pData, ULONGLONG cbSize, DWORD dwKind, VARTYPE vt,
                          std::string* text) {
  if (dwKind == RK_VALUE_TYPED) {
    std::wstring wide;
    const HRESULT hr = RKTypedValueToText(pData, cbSize, vt, &wide);
    if (FAILED(hr)) return hr;
    *text = RKWideToAnsi(wide);
    return S_OK;
  }
  if (dwKind != RK_VALUE_STRING) return E_INVALIDARG;
  size_t len = 0;
  const HRESULT hr = RKFieldStringLength(static_cast<const char*>(pData), cbSize, &len);
  if (FAILED(hr)) return hr;
  text->assign(static_cast<const char*>(pData), len);
  return S_OK;
}

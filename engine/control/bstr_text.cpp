#include "engine/control/bstr_text.h"

#include <cstring>
#include <cwchar>
#include <limits>

namespace ovl::control {

HRESULT AnsiToBstr(const char* text, std::size_t capacity, BSTR* result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  const void* end = text != nullptr ? std::memchr(text, '\0', capacity) : nullptr;
  const std::size_t bytes = text == nullptr ? 0 : end != nullptr ? static_cast<const char*>(end) - text : capacity;
  if (bytes > static_cast<std::size_t>(std::numeric_limits<int>::max())) return E_INVALIDARG;
  const int n = bytes == 0 ? 0 : MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(bytes), nullptr, 0);
  if (bytes != 0 && n <= 0) return E_INVALIDARG;
  BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (b == nullptr) return E_OUTOFMEMORY;
  if (n != 0 && MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(bytes), b, n) != n) {
    SysFreeString(b);
    return E_INVALIDARG;
  }
  *result = b;
  return S_OK;
}

HRESULT BstrToAnsi(BSTR text, std::string* result) {
  if (result == nullptr) return E_POINTER;
  result->clear();
  const std::size_t length = SysStringLen(text);
  if (length == 0) return S_OK;
  // An embedded NUL would cut the name short on its way into the stores.
  if (std::wcslen(text) != length) return E_INVALIDARG;
  if (length > static_cast<std::size_t>(std::numeric_limits<int>::max() / 4)) return E_INVALIDARG;
  const int units = static_cast<int>(length);
  BOOL lossy = FALSE;
  // Code pages such as UTF-8 refuse the "default character used" report;
  // their conversion is exact anyway.
  int n = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text, units, nullptr, 0, nullptr, &lossy);
  const bool checked = n > 0;
  if (!checked) n = WideCharToMultiByte(CP_THREAD_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return E_INVALIDARG;
  if (lossy) return E_INVALIDARG;
  std::string out(static_cast<std::size_t>(n), '\0');
  const int written = checked ? WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text, units, &out[0], n, nullptr, &lossy)
                              : WideCharToMultiByte(CP_THREAD_ACP, 0, text, units, &out[0], n, nullptr, nullptr);
  if (written != n || lossy) return E_INVALIDARG;
  result->swap(out);
  return S_OK;
}

HRESULT CopyToBstr(const wchar_t* text, BSTR* result) {
  if (result == nullptr) return E_POINTER;
  *result = SysAllocString(text != nullptr ? text : L"");
  return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace ovl::control

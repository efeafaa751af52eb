// The Windows parts of the buffers: code-page text and the process-heap variant.
#include "persistence/core/rk_buffer.h"

#include <new>

namespace {

constexpr size_t kMaxWideChars = size_t{1} << 30;

void HeapRelease(void* p) { HeapFree(GetProcessHeap(), 0, p); }

void* HeapRealloc(void* p, size_t n) {
  return p == nullptr ? HeapAlloc(GetProcessHeap(), 0, n) : HeapReAlloc(GetProcessHeap(), 0, p, n);
}

}  // namespace

HRESULT CBaseBuffer::AppendWide(const wchar_t* text, UINT codePage) {
  if (text == nullptr) return E_POINTER;
  const size_t len = wcslen(text);
  if (len > kMaxWideChars) return E_INVALIDARG;
  if (len == 0) {
    const HRESULT hr = Grow(0);
    if (SUCCEEDED(hr)) Terminate();
    return hr;
  }
  const int n = WideCharToMultiByte(codePage, 0, text, static_cast<int>(len), nullptr, 0, nullptr,
                                    nullptr);
  if (n <= 0) return E_INVALIDARG;
  const HRESULT hr = Grow(static_cast<std::uint64_t>(n));
  if (FAILED(hr)) return hr;
  WideCharToMultiByte(codePage, 0, text, static_cast<int>(len),
                      reinterpret_cast<char*>(m_pData + m_cbLength), n, nullptr, nullptr);
  m_cbLength += static_cast<std::uint32_t>(n);
  Terminate();
  return S_OK;
}

HRESULT CBaseBuffer::ToBstr(UINT codePage, BSTR* result) const {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  if (m_cbLength > 0x7FFFFFFF) return E_INVALIDARG;
  const int len = static_cast<int>(m_cbLength);
  const char* text = reinterpret_cast<const char*>(m_pData);
  const int n = len == 0 ? 0 : MultiByteToWideChar(codePage, 0, text, len, nullptr, 0);
  if (len != 0 && n <= 0) return E_INVALIDARG;
  BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (b == nullptr) return E_OUTOFMEMORY;
  if (n != 0) MultiByteToWideChar(codePage, 0, text, len, b, n);
  *result = b;
  return S_OK;
}

CHeapBuffer::CHeapBuffer() : CBaseBuffer(HeapRelease, HeapRealloc) {}

CHeapBuffer::~CHeapBuffer() = default;

void* CHeapBuffer::operator new(size_t n) {
  void* p = HeapAlloc(GetProcessHeap(), 0, n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void CHeapBuffer::operator delete(void* p) noexcept {
  if (p != nullptr) HeapFree(GetProcessHeap(), 0, p);
}

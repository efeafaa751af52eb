#include "persistence/core/rk_buffer.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {
constexpr std::uint64_t kMaxBuffer = 0xFFFFFFFFu;

void CrtRelease(void* p) { std::free(p); }
void* CrtRealloc(void* p, std::size_t n) { return std::realloc(p, n); }
}  // namespace

CBaseBuffer::~CBaseBuffer() {
  if (m_pData != nullptr && m_pfnRelease != nullptr) m_pfnRelease(m_pData);
}

int CBaseBuffer::Free() {
  if (m_pData != nullptr && m_pfnRelease != nullptr) m_pfnRelease(m_pData);
  m_pData = nullptr;
  m_cbLength = 0;
  m_cbCapacity = 0;
  return 0;
}

int CBaseBuffer::Reserve(std::uint32_t n) {
  if (n <= m_cbCapacity) return 1;
  if (m_pfnRealloc == nullptr) return 0;
  void* grown = m_pfnRealloc(m_pData, n);
  if (grown == nullptr) return 0;
  m_pData = static_cast<std::uint8_t*>(grown);
  m_cbCapacity = n;
  return 1;
}

HRESULT CBaseBuffer::SetLength(std::uint32_t n) {
  if (n > m_cbCapacity) return E_INVALIDARG;
  m_cbLength = n;
  return S_OK;
}

HRESULT CBaseBuffer::Grow(std::uint64_t extra) {
  const std::uint64_t needed = std::uint64_t{m_cbLength} + extra + 1;  // + terminator
  if (needed > kMaxBuffer) return E_OUTOFMEMORY;
  if (needed <= m_cbCapacity) return S_OK;
  std::uint64_t roomy = std::uint64_t{m_cbCapacity} + m_cbCapacity / 2;
  if (roomy > kMaxBuffer) roomy = kMaxBuffer;
  if (roomy > needed && Reserve(static_cast<std::uint32_t>(roomy))) return S_OK;
  return Reserve(static_cast<std::uint32_t>(needed)) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBaseBuffer::AppendByte(std::uint8_t b) {
  const HRESULT hr = Grow(1);
  if (FAILED(hr)) return hr;
  m_pData[m_cbLength++] = b;
  return S_OK;
}

HRESULT CBaseBuffer::AppendByteTerminated(std::uint8_t b) {
  const HRESULT hr = AppendByte(b);
  if (SUCCEEDED(hr)) Terminate();
  return hr;
}

HRESULT CBaseBuffer::AppendBytes(const void* p, std::uint32_t n) {
  if (n == 0) return S_OK;
  if (p == nullptr) return E_POINTER;
  const HRESULT hr = Grow(n);
  if (FAILED(hr)) return hr;
  std::memcpy(m_pData + m_cbLength, p, n);
  m_cbLength += n;
  return S_OK;
}

HRESULT CBaseBuffer::AppendText(const char* text) {
  if (text == nullptr) return E_POINTER;
  const std::size_t n = std::strlen(text);
  if (n > kMaxBuffer) return E_OUTOFMEMORY;
  HRESULT hr = Grow(n);
  if (FAILED(hr)) return hr;
  std::memcpy(m_pData + m_cbLength, text, n);
  m_cbLength += static_cast<std::uint32_t>(n);
  Terminate();
  return S_OK;
}

HRESULT CBaseBuffer::AppendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const HRESULT hr = AppendFormatV(format, args);
  va_end(args);
  return hr;
}

HRESULT CBaseBuffer::AppendFormatV(const char* format, va_list args) {
  if (format == nullptr) return E_POINTER;
  va_list measure;
  va_copy(measure, args);
  const int n = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (n < 0) return E_INVALIDARG;
  const HRESULT hr = Grow(static_cast<std::uint64_t>(n));
  if (FAILED(hr)) return hr;
  std::vsnprintf(reinterpret_cast<char*>(m_pData + m_cbLength), static_cast<std::size_t>(n) + 1,
                 format, args);
  m_cbLength += static_cast<std::uint32_t>(n);
  return S_OK;
}

void CBaseBuffer::TrimTrailingNuls() {
  while (m_cbLength > 0 && m_pData[m_cbLength - 1] == 0) --m_cbLength;
}

HRESULT CBaseBuffer::Swap(CBaseBuffer* other) {
  if (other == nullptr) return E_POINTER;
  std::swap(m_pData, other->m_pData);
  std::swap(m_cbLength, other->m_cbLength);
  std::swap(m_cbCapacity, other->m_cbCapacity);
  std::swap(m_pfnRelease, other->m_pfnRelease);
  std::swap(m_pfnRealloc, other->m_pfnRealloc);
  return S_OK;
}

CBuffer::CBuffer() : CBaseBuffer(CrtRelease, CrtRealloc), m_pSecondary(nullptr) {}

CBuffer::~CBuffer() { delete m_pSecondary; }

int CBuffer::Free() {
  delete m_pSecondary;
  m_pSecondary = nullptr;
  return CBaseBuffer::Free();
}

void CBuffer::AttachSecondary(CBaseBuffer* other) {
  if (other == m_pSecondary) return;
  delete m_pSecondary;
  m_pSecondary = other;
}

const std::uint8_t* CBuffer::SecondaryData() const {
  return m_pSecondary != nullptr ? m_pSecondary->Data() : nullptr;
}

std::uint32_t CBuffer::SecondaryLength() const {
  return m_pSecondary != nullptr ? m_pSecondary->Length() : 0;
}

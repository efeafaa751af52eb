#include "streaming/base/media_type.h"

#include <cstring>

namespace {
void ZeroType(AM_MEDIA_TYPE& type) {
  std::memset(&type, 0, sizeof(type));
  // A default type describes fixed-size samples of one byte.
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = 1;
}
}  // namespace

void WINAPI FreeMediaType(AM_MEDIA_TYPE& type) {
  if (type.pbFormat != nullptr) CoTaskMemFree(type.pbFormat);
  type.pbFormat = nullptr;
  type.cbFormat = 0;
  if (type.pUnk != nullptr) {
    type.pUnk->Release();
    type.pUnk = nullptr;
  }
}

void WINAPI DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return;
  FreeMediaType(*type);
  CoTaskMemFree(type);
}

HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  if (target == nullptr || source == nullptr) return E_POINTER;
  *target = *source;
  if (source->cbFormat != 0 && source->pbFormat != nullptr) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (target->pbFormat == nullptr) {
      target->cbFormat = 0;
      target->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
  } else {
    target->pbFormat = nullptr;
    target->cbFormat = 0;
  }
  if (target->pUnk != nullptr) target->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* source) {
  if (source == nullptr) return nullptr;
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (type == nullptr) return nullptr;
  if (FAILED(CopyMediaType(type, source))) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

CMediaType::CMediaType() : AM_MEDIA_TYPE() { ZeroType(*this); }

CMediaType::CMediaType(const GUID* majortype_) : CMediaType() {
  if (majortype_ != nullptr) majortype = *majortype_;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& type, HRESULT* phr) : CMediaType() {
  const HRESULT hr = Set(type);
  if (phr != nullptr && FAILED(hr)) *phr = hr;
}

CMediaType::CMediaType(const CMediaType& type, HRESULT* phr)
    : CMediaType(static_cast<const AM_MEDIA_TYPE&>(type), phr) {}

CMediaType::~CMediaType() { FreeMediaType(*this); }

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& type) {
  Set(type);
  return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& type) {
  Set(type);
  return *this;
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& type) {
  if (&type == this) return S_OK;
  FreeMediaType(*this);
  const HRESULT hr = CopyMediaType(this, &type);
  if (FAILED(hr)) ZeroType(*this);
  return hr;
}

bool CMediaType::operator==(const CMediaType& other) const {
  if (!IsEqualGUID(majortype, other.majortype) || !IsEqualGUID(subtype, other.subtype) ||
      !IsEqualGUID(formattype, other.formattype) || cbFormat != other.cbFormat) {
    return false;
  }
  return cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0;
}

BOOL CMediaType::IsValid() const { return !IsEqualGUID(majortype, GUID_NULL); }

void CMediaType::SetSampleSize(ULONG size) {
  if (size == 0) {
    SetVariableSize();
  } else {
    bFixedSizeSamples = TRUE;
    lSampleSize = size;
  }
}

void CMediaType::SetVariableSize() {
  bFixedSizeSamples = FALSE;
  lSampleSize = 0;
}

BOOL CMediaType::SetFormat(const BYTE* format, ULONG length) {
  if (length != 0 && format == nullptr) return FALSE;
  if (length == 0) {
    ResetFormatBuffer();
    return TRUE;
  }
  BYTE* buffer = AllocFormatBuffer(length);
  if (buffer == nullptr) return FALSE;
  std::memcpy(buffer, format, length);
  return TRUE;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
  ResetFormatBuffer();
  if (length == 0) return nullptr;
  pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (pbFormat == nullptr) return nullptr;
  std::memset(pbFormat, 0, length);
  cbFormat = length;
  return pbFormat;
}

BYTE* CMediaType::ReallocFormatBuffer(ULONG length) {
  if (length == 0) {
    ResetFormatBuffer();
    return nullptr;
  }
  auto* buffer = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (buffer == nullptr) return nullptr;  // the old block stays as it was
  std::memset(buffer, 0, length);
  if (pbFormat != nullptr) std::memcpy(buffer, pbFormat, cbFormat < length ? cbFormat : length);
  if (pbFormat != nullptr) CoTaskMemFree(pbFormat);
  pbFormat = buffer;
  cbFormat = length;
  return pbFormat;
}

void CMediaType::ResetFormatBuffer() {
  if (pbFormat != nullptr) CoTaskMemFree(pbFormat);
  pbFormat = nullptr;
  cbFormat = 0;
}

void CMediaType::InitMediaType() {
  FreeMediaType(*this);
  ZeroType(*this);
}

BOOL CMediaType::IsPartiallySpecified() const {
  return IsEqualGUID(majortype, GUID_NULL) || IsEqualGUID(subtype, GUID_NULL) ||
         IsEqualGUID(formattype, GUID_NULL);
}

BOOL CMediaType::MatchesPartial(const CMediaType* partial) const {
  if (partial == nullptr) return TRUE;
  if (!IsEqualGUID(partial->majortype, GUID_NULL) && !IsEqualGUID(partial->majortype, majortype)) return FALSE;
  if (!IsEqualGUID(partial->subtype, GUID_NULL) && !IsEqualGUID(partial->subtype, subtype)) return FALSE;
  if (!IsEqualGUID(partial->formattype, GUID_NULL)) {
    if (!IsEqualGUID(partial->formattype, formattype)) return FALSE;
    if (partial->cbFormat != 0) {
      if (partial->cbFormat != cbFormat) return FALSE;
      if (std::memcmp(partial->pbFormat, pbFormat, cbFormat) != 0) return FALSE;
    }
  }
  return TRUE;
}

#pragma once
// A media type that owns its format block (task memory) and its pUnk
// reference, plus the free functions that manage plain AM_MEDIA_TYPEs handed
// across interfaces.
#include "streaming/base/dshow_platform.h"

class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  explicit CMediaType(const GUID* majortype);
  // Copies; a failed format allocation leaves an empty type and E_OUTOFMEMORY
  // in *phr (when given).
  CMediaType(const AM_MEDIA_TYPE& type, HRESULT* phr = nullptr);
  CMediaType(const CMediaType& type, HRESULT* phr = nullptr);
  ~CMediaType();

  CMediaType& operator=(const AM_MEDIA_TYPE& type);
  CMediaType& operator=(const CMediaType& type);
  // Same major type, subtype, format type and format bytes.
  bool operator==(const CMediaType& other) const;
  bool operator!=(const CMediaType& other) const { return !(*this == other); }

  HRESULT Set(const AM_MEDIA_TYPE& type);
  HRESULT Set(const CMediaType& type) { return Set(static_cast<const AM_MEDIA_TYPE&>(type)); }

  BOOL IsValid() const;
  const GUID* Type() const { return &majortype; }
  const GUID* Subtype() const { return &subtype; }
  const GUID* FormatType() const { return &formattype; }
  BYTE* Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
  ULONG GetSampleSize() const { return IsFixedSize() ? lSampleSize : 0; }
  BOOL IsFixedSize() const { return bFixedSizeSamples; }
  BOOL IsTemporalCompressed() const { return bTemporalCompression; }

  void SetType(const GUID* type) { majortype = *type; }
  void SetSubtype(const GUID* type) { subtype = *type; }
  void SetFormatType(const GUID* type) { formattype = *type; }
  void SetSampleSize(ULONG size);
  void SetVariableSize();
  void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }
  // Replaces the format block with a copy of the given bytes.
  BOOL SetFormat(const BYTE* format, ULONG length);
  // A zero-filled format block of the given length (the old one is freed).
  BYTE* AllocFormatBuffer(ULONG length);
  // Grows or shrinks the format block keeping its leading bytes.
  BYTE* ReallocFormatBuffer(ULONG length);
  void ResetFormatBuffer();
  // Frees everything and returns to the state of a default-constructed type.
  void InitMediaType();

  // A GUID_NULL major type, subtype or format type leaves that part open.
  BOOL IsPartiallySpecified() const;
  // Whether this type fits the given partial type: every GUID the partial type
  // names matches, and so does its format block if it has one.
  BOOL MatchesPartial(const CMediaType* partial) const;
};

void WINAPI FreeMediaType(AM_MEDIA_TYPE& type);
void WINAPI DeleteMediaType(AM_MEDIA_TYPE* type);
AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* source);
HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);

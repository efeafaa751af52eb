#pragma once
// IEnumMediaTypes over a pin's GetMediaType positions. Once the pin's media
// type version changes, every call but Reset reports VFW_E_ENUM_OUT_OF_SYNC.
#include "streaming/base/enumerator.h"

class CBasePin;

class CEnumMediaTypes : public CEnumerator<CEnumMediaTypes, IEnumMediaTypes, AM_MEDIA_TYPE*, CBasePin> {
 public:
  // Holds a reference on the pin (and so on its filter).
  CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* toCopy);

  static LONG VersionOf(CBasePin* pin);
  // Each fetched type is a new task-memory AM_MEDIA_TYPE (DeleteMediaType).
  HRESULT ItemAt(int position, AM_MEDIA_TYPE** type);
  bool HasItem(int position);
};

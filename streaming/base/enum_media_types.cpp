#include "streaming/base/enum_media_types.h"

#include "streaming/base/base_pin.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* toCopy)
    : CEnumerator(TEXT("Media type enumerator"), IID_IEnumMediaTypes, pin, toCopy) {}

LONG CEnumMediaTypes::VersionOf(CBasePin* pin) { return pin->GetMediaTypeVersion(); }

HRESULT CEnumMediaTypes::ItemAt(int position, AM_MEDIA_TYPE** type) {
  CMediaType found;
  if (m_pOwner->GetMediaType(position, &found) != S_OK) return S_FALSE;  // past the last type
  *type = CreateMediaType(&found);
  return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

bool CEnumMediaTypes::HasItem(int position) {
  CMediaType type;
  return m_pOwner->GetMediaType(position, &type) == S_OK;
}

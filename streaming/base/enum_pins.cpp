#include "streaming/base/enum_pins.h"

#include "streaming/base/base_filter.h"
#include "streaming/base/base_pin.h"

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* toCopy)
    : CEnumerator(TEXT("Pin enumerator"), IID_IEnumPins, filter, toCopy) {}

LONG CEnumPins::VersionOf(CBaseFilter* filter) { return filter->GetPinVersion(); }

HRESULT CEnumPins::ItemAt(int position, IPin** pin) {
  CBasePin* found = HasItem(position) ? m_pOwner->GetPin(position) : nullptr;
  if (found == nullptr) return S_FALSE;
  *pin = found;
  found->AddRef();
  return S_OK;
}

bool CEnumPins::HasItem(int position) { return position < m_pOwner->GetPinCount(); }

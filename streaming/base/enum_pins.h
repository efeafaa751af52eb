#pragma once
// IEnumPins over a filter's GetPin(0 .. GetPinCount - 1). Once the filter's
// pin version changes, every call but Reset reports VFW_E_ENUM_OUT_OF_SYNC.
#include "streaming/base/enumerator.h"

class CBaseFilter;

class CEnumPins : public CEnumerator<CEnumPins, IEnumPins, IPin*, CBaseFilter> {
 public:
  // Holds a reference on the filter; copies position and version of
  // `toCopy` when given (Clone).
  CEnumPins(CBaseFilter* filter, const CEnumPins* toCopy);

  static LONG VersionOf(CBaseFilter* filter);
  HRESULT ItemAt(int position, IPin** pin);
  bool HasItem(int position);
};

#pragma once
// The first pin of a filter in one direction (after skipping `skip` of them).
#include <dshow.h>

#include "persistence/core/com_ptr.h"

namespace ovlcompose {

inline ovl::ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted, int skip = 0) {
  ovl::ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return {};
  ovl::ComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION direction;
    if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted && skip-- == 0) return pin;
  }
  return {};
}

}  // namespace ovlcompose

#include "tests/windows/support/graph_util.h"

namespace ovl::testing {

ovl::ComPtr<IPin> FindPin(IBaseFilter* filter, PIN_DIRECTION direction, int index) {
  ovl::ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return {};
  ovl::ComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION found = PINDIR_INPUT;
    if (SUCCEEDED(pin->QueryDirection(&found)) && found == direction && index-- == 0) return pin;
  }
  return {};
}

ovl::ComPtr<IGraphBuilder> CreateGraphWithoutClock() {
  ovl::ComPtr<IGraphBuilder> graph;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid()))) {
    return {};
  }
  auto filter = graph.As<IMediaFilter>(IID_IMediaFilter);
  if (!filter || FAILED(filter->SetSyncSource(nullptr))) return {};
  return graph;
}

std::vector<std::pair<long, LONG_PTR>> DrainEvents(IMediaEvent* events) {
  std::vector<std::pair<long, LONG_PTR>> drained;
  long code = 0;
  LONG_PTR param1 = 0;
  LONG_PTR param2 = 0;
  while (events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
    drained.emplace_back(code, param1);
    events->FreeEventParams(code, param1, param2);
  }
  return drained;
}

}  // namespace ovl::testing

#include "streaming/graph_reconnection.h"

#include <new>
#include <utility>
#include <vector>

#include "persistence/core/com_ptr.h"

namespace {

struct Connection {
  ovl::ComPtr<IPin> out;
  ovl::ComPtr<IPin> in;
};

// Adds every connected output pin of the filter that owns `in` (and so on
// downstream) to the list.
void CollectDownstream(IPin* in, std::vector<Connection>& list) {
  PIN_INFO info{};
  if (FAILED(in->QueryPinInfo(&info))) return;
  const ovl::ComPtr<IBaseFilter> filter(info.pFilter);  // the reference QueryPinInfo added
  ovl::ComPtr<IEnumPins> pins;
  if (!filter || FAILED(filter->EnumPins(pins.Put()))) return;
  ovl::ComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION direction;
    ovl::ComPtr<IPin> peer;
    if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
        SUCCEEDED(pin->ConnectedTo(peer.Put())) && peer) {
      IPin* next = peer.Get();  // kept alive by the list
      list.push_back({std::move(pin), std::move(peer)});
      CollectDownstream(next, list);
    }
  }
}

}  // namespace

HRESULT ReconnectDownstream(IPin* output, IGraphBuilder* graph, const AM_MEDIA_TYPE* type) {
  ovl::ComPtr<IMediaControl> control;
  if (FAILED(graph->QueryInterface(IID_IMediaControl, control.PutVoid()))) return E_NOINTERFACE;
  OAFilterState state = State_Stopped;
  control->GetState(1000, &state);
  const bool wasRunning = state == State_Running;
  if (state != State_Stopped) {
    control->Stop();
    control->GetState(1000, &state);
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
  }
  std::vector<Connection> list;
  HRESULT hr = S_OK;
  try {
    ovl::ComPtr<IPin> peer;
    if (SUCCEEDED(output->ConnectedTo(peer.Put())) && peer) {
      IPin* next = peer.Get();  // kept alive by the list
      list.push_back({ovl::ComPtr<IPin>::Share(output), std::move(peer)});
      CollectDownstream(next, list);
    }
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(hr)) {
    for (const Connection& c : list) {
      c.out->Disconnect();
      c.in->Disconnect();
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
      IGraphBuilder* g = graph;
      const AM_MEDIA_TYPE* mt = i == 0 ? type : nullptr;
      IPin* out = list[i].out.Get();
      IPin* in = list[i].in.Get();
      if (FAILED(g->ConnectDirect(out, in, mt))) g->Connect(out, in);
    }
  }
  list.clear();  // our pin references go before the graph runs again
  if (wasRunning) control->Run();
  return hr;
}

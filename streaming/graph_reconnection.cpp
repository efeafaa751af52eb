#include "streaming/graph_reconnection.h"

#include <new>
#include <vector>

namespace {

struct Connection {
  IPin* out;  // references held
  IPin* in;
};

// Adds every connected output pin of the filter that owns `in` (and so on
// downstream) to the list.
void CollectDownstream(IPin* in, std::vector<Connection>& list) {
  PIN_INFO info{};
  if (FAILED(in->QueryPinInfo(&info)) || info.pFilter == nullptr) return;
  IEnumPins* pins = nullptr;
  if (SUCCEEDED(info.pFilter->EnumPins(&pins))) {
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
      PIN_DIRECTION direction;
      IPin* peer = nullptr;
      if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
          SUCCEEDED(pin->ConnectedTo(&peer)) && peer != nullptr) {
        list.push_back({pin, peer});
        pin = nullptr;  // owned by the list now
        CollectDownstream(peer, list);
      }
      if (pin != nullptr) pin->Release();
    }
    pins->Release();
  }
  info.pFilter->Release();
}

}  // namespace

HRESULT ReconnectDownstream(IPin* output, IGraphBuilder* graph, const AM_MEDIA_TYPE* type) {
  IMediaControl* control = nullptr;
  if (FAILED(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)))) return E_NOINTERFACE;
  OAFilterState state = State_Stopped;
  control->GetState(1000, &state);
  const bool wasRunning = state == State_Running;
  if (state != State_Stopped) {
    control->Stop();
    control->GetState(1000, &state);
    if (state != State_Stopped) {
      control->Release();
      return VFW_E_NOT_STOPPED;
    }
  }
  std::vector<Connection> list;
  HRESULT hr = S_OK;
  try {
    IPin* peer = nullptr;
    if (SUCCEEDED(output->ConnectedTo(&peer)) && peer != nullptr) {
      output->AddRef();
      list.push_back({output, peer});
      CollectDownstream(peer, list);
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
      if (FAILED(g->ConnectDirect(list[i].out, list[i].in, mt))) g->Connect(list[i].out, list[i].in);
    }
  }
  for (const Connection& c : list) {
    c.out->Release();
    c.in->Release();
  }
  if (wasRunning) control->Run();
  control->Release();
  return hr;
}

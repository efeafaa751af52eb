// Changing the composite size while the output is connected: the output is
// reconnected through the graph with a type of the new size.
#include "engine/core/composite_size.h"
#include "engine/filter/overlay_filter.h"
#include "engine/filter/video_rows.h"
#include "persistence/core/com_ptr.h"
#include "streaming/mux_dynamic_output_pin.h"
#include "streaming/graph_reconnection.h"
#include "streaming/mux_transform_input_pin.h"
#include "ui/modal_seam.h"

HRESULT CVOvrLyFilter::RecomputeOutputSize() {
  ovl::InputFrame inputs[2];
  for (int i = 0; i < 2; ++i) {
    CMuxTransformInputPin* pin = InputPin(i);
    if (pin == nullptr || !pin->IsConnected()) continue;
    const CMediaType& mt = pin->CurrentMediaType();
    if (mt.pbFormat == nullptr || mt.cbFormat < sizeof(VIDEOINFOHEADER)) return E_UNEXPECTED;
    const BITMAPINFOHEADER& bih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
    inputs[i] = ovl::InputFrame{true, bih.biWidth, VideoRowCount(bih), bih.biBitCount};
  }
  const bool changed = ovl::RecomputeCompositeSize(m_settings, inputs[0], inputs[1]);
  if (changed && OutputPin() != nullptr && OutputPin()->IsConnected()) ReconnectGraph();
  return S_OK;
}

HRESULT CVOvrLyFilter::ReconnectGraph() {
  CMuxDynamicOutputPin* output = OutputPin();
  if (output == nullptr || !output->IsConnected()) return S_OK;
  ovl::ComPtr<IGraphBuilder> graph;
  if (m_pGraph != nullptr) m_pGraph->QueryInterface(IID_IGraphBuilder, graph.PutVoid());
  HRESULT hr = S_OK;
  CMediaType type;
  if (SUCCEEDED(GetMediaType(0, &type)) && graph) {
    hr = ReconnectDownstream(output, graph.Get(), &type);
    if (FAILED(hr)) {
      if (hr == VFW_E_TYPE_NOT_ACCEPTED) {
        ovl::ui::ShowMessageBox(
            nullptr, "The down stream filter refused the change.\rYou can try changing the display mode to 24 or 32-bit",
            "Fail", MB_TASKMODAL | MB_OK);
      } else {
        ovl::ui::ShowMessageBox(nullptr,
                                "The requested change has failed\rYou can try changing the display mode to 24 or 32-bit",
                                "Error", MB_TASKMODAL | MB_OK);
      }
    }
  }
  if (!output->IsConnected()) hr = graph ? graph->Connect(output, nullptr) : S_FALSE;
  return hr;
}

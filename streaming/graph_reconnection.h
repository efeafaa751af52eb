#pragma once
// Reconnects everything downstream of an output pin with a new media type:
// the graph is stopped, every connection from the pin downstream is
// collected, disconnected and made again (the first one with the new type),
// and a graph that was running is run again.
#include "streaming/base/base_classes.h"

// VFW_E_NOT_STOPPED when the graph does not stop within a second;
// E_NOINTERFACE without IMediaControl; E_OUTOFMEMORY when the connection list
// cannot be made. Individual reconnection failures are not reported.
HRESULT ReconnectDownstream(IPin* output, IGraphBuilder* graph, const AM_MEDIA_TYPE* type);

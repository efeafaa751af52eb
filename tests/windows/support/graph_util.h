#pragma once
// Small helpers for tests that build real filter graphs.
#include <utility>
#include <vector>

#include "streaming/base/dshow_platform.h"
#include "persistence/core/com_ptr.h"

namespace ovl::testing {

// The index-th pin of the given direction, or null.
ovl::ComPtr<IPin> FindPin(IBaseFilter* filter, PIN_DIRECTION direction, int index = 0);

// A graph manager without a reference clock, so that renderers show samples
// as they arrive instead of waiting for their presentation time.
ovl::ComPtr<IGraphBuilder> CreateGraphWithoutClock();

// Every event waiting in the graph's queue, as (code, param1) pairs.
std::vector<std::pair<long, LONG_PTR>> DrainEvents(IMediaEvent* events);

}  // namespace ovl::testing

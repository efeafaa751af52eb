#pragma once
// The filter's entries in the DirectShow filter mapper: its entry among the
// DirectShow filters, and its entry in the product family's categories.
#include <windows.h>

namespace ovl::server {

// For every class-table entry with setup data: removes the entry from the
// DirectShow filters category and, when `registering`, registers it again
// from the setup data. Uses IFilterMapper2, else the older IFilterMapper;
// returns the failure to create either. "File not found" from the mapper
// (nothing was registered) counts as success.
HRESULT UpdateFilterMapper(bool registering);

// Creates each category of `mask` (bit 0 audio, bit 1 video; in bit order,
// stopping at the first failure) and enters the filter into it by its class
// identifier string, with no pins.
HRESULT RegisterInCategories(unsigned mask);

// Removes the filter's entry from each category of `mask`; results ignored.
void UnregisterFromCategories(unsigned mask);

}  // namespace ovl::server

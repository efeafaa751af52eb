#pragma once
// Every copy of sample properties from an input sample to its output sample,
// in one place.
#include "streaming/base/dshow_platform.h"

namespace ovl {

// A fresh output sample takes the properties the input pin captured when its
// sample arrived: times, flags and type-specific flags (through
// IMediaSample2, or the plain setters when the sample has no such
// interface), then the input sample's media times and preroll mark. The
// output keeps its own buffer, stream identifier and media type.
void StampOutputSample(const AM_SAMPLE2_PROPERTIES& captured, IMediaSample* in, IMediaSample* out);

// The finished frame takes what the input sample answers now: times and
// media times (when set), sync point, attached media type (possibly none),
// preroll and discontinuity. E_UNEXPECTED when one of the three marks gets
// an answer other than S_OK or S_FALSE.
HRESULT CopySampleProperties(IMediaSample* in, IMediaSample* out);

}  // namespace ovl

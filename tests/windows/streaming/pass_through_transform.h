#pragma once
// A video transform built on the base layer that copies RGB24 frames
// unchanged; knobs let a test drop frames the two ways the layer offers
// (Transform answering S_FALSE, ShouldSkipFrame).
#include <set>

#include "streaming/base/base_classes.h"

namespace ovl::testing {

class CPassThroughTransform : public CVideoTransformFilter {
 public:
  // A new filter with one reference.
  static CPassThroughTransform* Create();

  HRESULT CheckInputType(const CMediaType* type) override;
  // Output type equals input type.
  HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
  bool ShouldSkipFrame(IMediaSample* sample) override;
  HRESULT StartStreaming() override;
  HRESULT StopStreaming() override;

  // Frames (counted from 0 since StartStreaming) for which Transform answers S_FALSE.
  std::set<int> transformSkips;
  // Frames that ShouldSkipFrame drops.
  std::set<int> qualitySkips;
  int startStreamingCalls = 0;
  int stopStreamingCalls = 0;

  CTransformInputPin* Input() { return static_cast<CTransformInputPin*>(GetPin(0)); }
  CTransformOutputPin* Output() { return static_cast<CTransformOutputPin*>(GetPin(1)); }

 private:
  CPassThroughTransform();
  int m_frame = 0;
};

}  // namespace ovl::testing

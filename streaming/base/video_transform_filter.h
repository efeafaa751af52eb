#pragma once
// A transform filter for video: it remembers what downstream last said about
// timeliness (quality messages) and lets a derived filter drop frames it
// would deliver too late (ShouldSkipFrame). Dropped frames count as skipped
// samples: the next output is marked AM_GBF_PREVFRAMESKIPPED and the graph
// hears EC_QUALITY_CHANGE once per pause.
#include "streaming/base/transform_filter.h"

class CVideoTransformFilter : public CTransformFilter {
 public:
  CVideoTransformFilter(const TCHAR* name, LPUNKNOWN outer, REFCLSID clsid);

  HRESULT Receive(IMediaSample* sample) override;
  // Records the message, then passes it upstream (S_FALSE).
  HRESULT AlterQuality(Quality quality) override;
  HRESULT StartStreaming() override;
  HRESULT EndFlush() override;

  // Whether to drop this frame instead of transforming it. Keeps every frame
  // unless a derived filter decides otherwise from the recorded lateness.
  virtual bool ShouldSkipFrame(IMediaSample* sample);

  int FramesDropped() const { return m_nFramesDropped; }
  int FramesDelivered() const { return m_nFramesDelivered; }

 protected:
  REFERENCE_TIME m_itrLate;  // how late downstream said the last frame was
  long m_nQualityProportion; // downstream's wish, 1000 = every frame
  int m_nFramesDropped;
  int m_nFramesDelivered;
};

#include "streaming/base/video_transform_filter.h"

CVideoTransformFilter::CVideoTransformFilter(const TCHAR* name, LPUNKNOWN outer, REFCLSID clsid)
    : CTransformFilter(name, outer, clsid),
      m_itrLate(0),
      m_nQualityProportion(1000),
      m_nFramesDropped(0),
      m_nFramesDelivered(0) {}

HRESULT CVideoTransformFilter::Receive(IMediaSample* sample) {
  if (m_pInput->SampleProps()->dwStreamId == AM_STREAM_MEDIA && ShouldSkipFrame(sample)) {
    ++m_nFramesDropped;
    NoteSkippedSample();
    return S_OK;
  }
  const HRESULT hr = CTransformFilter::Receive(sample);
  if (hr == S_OK && !m_bSampleSkipped) ++m_nFramesDelivered;
  return hr;
}

HRESULT CVideoTransformFilter::AlterQuality(Quality quality) {
  m_itrLate = quality.Late;
  m_nQualityProportion = quality.Proportion;
  return S_FALSE;
}

HRESULT CVideoTransformFilter::StartStreaming() {
  m_itrLate = 0;
  m_nQualityProportion = 1000;
  m_nFramesDropped = 0;
  m_nFramesDelivered = 0;
  return CTransformFilter::StartStreaming();
}

HRESULT CVideoTransformFilter::EndFlush() {
  // After a flush (a seek) old lateness says nothing about the new stream.
  m_itrLate = 0;
  return CTransformFilter::EndFlush();
}

bool CVideoTransformFilter::ShouldSkipFrame(IMediaSample* /*sample*/) { return false; }

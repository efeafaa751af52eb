#include "streaming/base/sample_properties.h"

#include <cstddef>

#include "persistence/core/com_ptr.h"
#include "streaming/base/media_type.h"

namespace ovl {
namespace {

bool StampThroughSample2(const AM_SAMPLE2_PROPERTIES& captured, IMediaSample* out) {
  ComPtr<IMediaSample2> out2;
  if (FAILED(out->QueryInterface(IID_IMediaSample2, out2.PutVoid()))) return false;
  // Only the leading fields up to the stream identifier are written.
  const DWORD leading = offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId);
  AM_SAMPLE2_PROPERTIES props{};
  if (FAILED(out2->GetProperties(leading, reinterpret_cast<BYTE*>(&props)))) return false;
  props.cbData = leading;
  props.dwTypeSpecificFlags = captured.dwTypeSpecificFlags;
  props.dwSampleFlags = (props.dwSampleFlags & AM_SAMPLE_TYPECHANGED) | (captured.dwSampleFlags & ~AM_SAMPLE_TYPECHANGED);
  props.tStart = captured.tStart;
  props.tStop = captured.tStop;
  return SUCCEEDED(out2->SetProperties(leading, reinterpret_cast<const BYTE*>(&props)));
}

void StampThroughSetters(const AM_SAMPLE2_PROPERTIES& captured, IMediaSample* out) {
  const DWORD flags = captured.dwSampleFlags;
  if (flags & AM_SAMPLE_TIMEVALID) {
    REFERENCE_TIME start = captured.tStart, stop = captured.tStop;
    out->SetTime(&start, (flags & AM_SAMPLE_STOPVALID) ? &stop : nullptr);
  }
  if (flags & AM_SAMPLE_SPLICEPOINT) out->SetSyncPoint(TRUE);
  if (flags & AM_SAMPLE_DATADISCONTINUITY) out->SetDiscontinuity(TRUE);
  if (flags & AM_SAMPLE_PREROLL) out->SetPreroll(TRUE);
}

// S_OK and S_FALSE are the only answers a mark may have.
bool MarkAnswer(HRESULT hr, BOOL* mark) {
  if (hr != S_OK && hr != S_FALSE) return false;
  *mark = hr == S_OK;
  return true;
}

}  // namespace

void StampOutputSample(const AM_SAMPLE2_PROPERTIES& captured, IMediaSample* in, IMediaSample* out) {
  if (!StampThroughSample2(captured, out)) StampThroughSetters(captured, out);
  REFERENCE_TIME mediaStart = 0, mediaStop = 0;
  if (in->GetMediaTime(&mediaStart, &mediaStop) == S_OK) out->SetMediaTime(&mediaStart, &mediaStop);
  BOOL preroll = FALSE;
  if (MarkAnswer(in->IsPreroll(), &preroll)) out->SetPreroll(preroll);
}

HRESULT CopySampleProperties(IMediaSample* in, IMediaSample* out) {
  REFERENCE_TIME start = 0, stop = 0;
  if (in->GetTime(&start, &stop) == S_OK) out->SetTime(&start, &stop);
  if (in->GetMediaTime(&start, &stop) == S_OK) out->SetMediaTime(&start, &stop);

  BOOL mark = FALSE;
  if (!MarkAnswer(in->IsSyncPoint(), &mark)) return E_UNEXPECTED;
  out->SetSyncPoint(mark);

  AM_MEDIA_TYPE* type = nullptr;
  in->GetMediaType(&type);
  out->SetMediaType(type);
  if (type != nullptr) DeleteMediaType(type);

  if (!MarkAnswer(in->IsPreroll(), &mark)) return E_UNEXPECTED;
  out->SetPreroll(mark);
  if (!MarkAnswer(in->IsDiscontinuity(), &mark)) return E_UNEXPECTED;
  out->SetDiscontinuity(mark);
  return S_OK;
}

}  // namespace ovl

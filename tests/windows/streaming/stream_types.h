#pragma once
// Media types the streaming tests connect with.
#include "streaming/base/media_type.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl::testing {

inline CMediaType VideoType(LONG width, LONG height) { return MakeRgb24Type(width, height); }

inline CMediaType AudioType() {
  CMediaType type(&MEDIATYPE_Audio);
  type.SetSubtype(&MEDIASUBTYPE_PCM);
  type.SetFormatType(&FORMAT_WaveFormatEx);
  WAVEFORMATEX wave = {};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = 1;
  wave.nSamplesPerSec = 8000;
  wave.wBitsPerSample = 8;
  wave.nBlockAlign = 1;
  wave.nAvgBytesPerSec = 8000;
  type.SetFormat(reinterpret_cast<const BYTE*>(&wave), sizeof(wave));
  return type;
}

}  // namespace ovl::testing

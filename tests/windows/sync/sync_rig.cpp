#include "tests/windows/sync/sync_rig.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace ovl::testing {

OverlayRig::OverlayRig(LONG w, LONG h) : width(w), height(h) {
  graph = CreateGraphWithoutClock();
  filterBase = MakeOverlayFilter(&filter);
  HRESULT hr = S_OK;
  main = CScriptedSource::Create(w, h, &hr);
  second = CScriptedSource::Create(w, h, &hr);
  if (!graph || !filterBase || main == nullptr || second == nullptr) return;
  control = graph.As<IMediaControl>(IID_IMediaControl);
  seeking = graph.As<IMediaSeeking>(IID_IMediaSeeking);
  events = graph.As<IMediaEvent>(IID_IMediaEvent);
  graph->AddFilter(filterBase.Get(), L"Overlay");
  graph->AddFilter(main, L"Main source");
  graph->AddFilter(second, L"Second source");
}

OverlayRig::~OverlayRig() {
  if (control) control->Stop();
  control.Reset();
  seeking.Reset();
  events.Reset();
  // The graph releases its filters when it goes; the sink's filters go with it.
  graph.Reset();
  filterBase.Reset();
  if (main != nullptr) main->Release();
  if (second != nullptr) second->Release();
}

bool OverlayRig::Connect(bool withSecond) {
  if (!graph || main == nullptr || second == nullptr) return false;
  if (FAILED(graph->ConnectDirect(FindPin(main, PINDIR_OUTPUT).Get(), Input(0).Get(), nullptr))) return false;
  if (withSecond &&
      FAILED(graph->ConnectDirect(FindPin(second, PINDIR_OUTPUT).Get(), Input(1).Get(), nullptr))) {
    return false;
  }
  if (FAILED(sink.AddTo(graph.Get(), MEDIATYPE_Video, MEDIASUBTYPE_RGB24))) return false;
  if (FAILED(sink.ConnectFrom(graph.Get(), Output().Get()))) return false;
  // The second video over the right half.
  return filter->Access().PutXPos(LAYERTYPE_VIDEO2, width / 2) == kOk;
}

ScriptedSample OverlayRig::Sample(BYTE tag, LONGLONG index, REFERENCE_TIME start, REFERENCE_TIME stop) const {
  ScriptedSample sample;
  sample.start = start;
  sample.stop = stop;
  sample.pixels.resize(static_cast<std::size_t>(Rgb24FrameBytes(width, height)));
  FillStreamFrame(tag, index, sample.pixels.data(), static_cast<LONG>(sample.pixels.size()));
  return sample;
}

Shown ShownIn(const std::vector<BYTE>& frame, LONG width) {
  Shown s;
  BYTE tag = 0;
  LONGLONG index = 0;
  if (frame.size() < static_cast<std::size_t>(3 * width)) return s;
  if (DecodeStreamPixel(&frame[0], &tag, &index) && tag == kMainTag) s.main = index;
  if (DecodeStreamPixel(&frame[3 * (width - 1)], &tag, &index) && tag == kSecondTag) s.second = index;
  return s;
}

std::vector<Shown> OverlayRig::ShownFrames(std::size_t from) const {
  std::vector<Shown> shown;
  const auto frames = sink.Frames();
  for (std::size_t i = from; i < frames.size(); ++i) shown.push_back(ShownIn(frames[i].bytes, width));
  return shown;
}

HRESULT SeekTo(IMediaSeeking* seeking, LONGLONG position) {
  return seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

std::vector<LONGLONG> ExpectedPairing(const std::vector<TimeSpan>& main, const std::vector<TimeSpan>& second,
                                      REFERENCE_TIME secondFrameDuration) {
  std::vector<LONGLONG> pairs;
  std::size_t j = 0;
  for (const TimeSpan& m : main) {
    while (j < second.size()) {
      const TimeSpan& s = second[j];
      const REFERENCE_TIME end = s.stop - s.start < secondFrameDuration ? s.start + secondFrameDuration : s.stop;
      if (end > m.start) break;
      ++j;
    }
    pairs.push_back(j < second.size() ? static_cast<LONGLONG>(j) : -1);
  }
  return pairs;
}

std::vector<TimeSpan> FrameSpans(LONGLONG first, LONGLONG count, REFERENCE_TIME duration) {
  std::vector<TimeSpan> spans;
  for (LONGLONG i = first; i < first + count; ++i) spans.push_back({i * duration, (i + 1) * duration});
  return spans;
}

void ExpectPairing(const std::vector<Shown>& shown, const std::vector<LONGLONG>& expected) {
  ASSERT_EQ(expected.size(), shown.size()) << "one output frame per main frame";
  for (std::size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(static_cast<LONGLONG>(i), shown[i].main) << "output frame " << i;
    EXPECT_EQ(expected[i], shown[i].second) << "second-input frame under main frame " << i;
  }
}

Watchdog::Watchdog(DWORD limitMs) : m_limitMs(limitMs), m_thread(&Watchdog::Watch, this) {}

Watchdog::~Watchdog() {
  m_exit = true;
  m_thread.join();
}

void Watchdog::Arm(const char* what) {
  m_since = GetTickCount();
  m_what = what;
}

void Watchdog::Watch() {
  while (!m_exit) {
    Sleep(50);
    const char* what = m_what;
    if (what != nullptr && GetTickCount() - m_since > m_limitMs) {
      std::fprintf(stderr, "\nHANG: '%s' has not returned after %lu ms; hangs: 1\n", what,
                   static_cast<unsigned long>(m_limitMs));
      std::fflush(stderr);
      std::fflush(stdout);
      TerminateProcess(GetCurrentProcess(), 3);
    }
  }
}

}  // namespace ovl::testing

#pragma once
// Graphs for the input synchronisation tests: two scripted sources into the
// overlay filter, the Sample Grabber and Null Renderer after it. The second
// video is drawn over the right half of the main one, so every output frame
// shows which main frame and which second-input frame went into it.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/windows/support/filter_test_support.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl::testing {

// Tags of the two inputs' frames (FillStreamFrame).
constexpr BYTE kMainTag = 1;
constexpr BYTE kSecondTag = 2;

// What an output frame shows: the main frame's index and the second-input
// frame's index (-1 when the pixel is no frame of that input).
struct Shown {
  LONGLONG main = -1;
  LONGLONG second = -1;
};
// Read from the first and the last pixel of the frame's first row.
Shown ShownIn(const std::vector<BYTE>& frame, LONG width);

class OverlayRig {
 public:
  OverlayRig(LONG width = 16, LONG height = 8);
  ~OverlayRig();
  OverlayRig(const OverlayRig&) = delete;
  OverlayRig& operator=(const OverlayRig&) = delete;

  // Connects the main source, the second source (unless `withSecond` is
  // false) and the sink; configure the sources before. False on failure.
  bool Connect(bool withSecond = true);

  // A scripted sample of one input: times [start, stop) and a solid frame
  // telling the input and the index.
  ScriptedSample Sample(BYTE tag, LONGLONG index, REFERENCE_TIME start, REFERENCE_TIME stop) const;

  std::vector<Shown> ShownFrames(std::size_t from = 0) const;

  ovl::ComPtr<IPin> Input(int index) const { return FindPin(filterBase.Get(), PINDIR_INPUT, index); }
  ovl::ComPtr<IPin> Output() const { return FindPin(filterBase.Get(), PINDIR_OUTPUT); }

  LONG width;
  LONG height;
  ovl::ComPtr<IGraphBuilder> graph;
  ovl::ComPtr<IMediaControl> control;
  ovl::ComPtr<IMediaSeeking> seeking;  // the graph's
  ovl::ComPtr<IMediaEvent> events;
  ovl::ComPtr<IBaseFilter> filterBase;
  CVOvrLyFilter* filter = nullptr;
  CScriptedSource* main = nullptr;  // references held
  CScriptedSource* second = nullptr;
  GrabberSink sink;
};

// An absolute seek of the current position only.
HRESULT SeekTo(IMediaSeeking* seeking, LONGLONG position);

// The second-input frame the coverage rule gives each main frame: the first
// second-input frame, never going back, whose end (at least start + the
// input's frame duration) lies after the main frame's start. -1 when none.
struct TimeSpan {
  REFERENCE_TIME start;
  REFERENCE_TIME stop;
};
std::vector<LONGLONG> ExpectedPairing(const std::vector<TimeSpan>& main, const std::vector<TimeSpan>& second,
                                      REFERENCE_TIME secondFrameDuration);
// Spans of `count` frames of `duration` from `first`.
std::vector<TimeSpan> FrameSpans(LONGLONG first, LONGLONG count, REFERENCE_TIME duration);
// Output frame i shows main frame i over second-input frame expected[i].
void ExpectPairing(const std::vector<Shown>& shown, const std::vector<LONGLONG>& expected);

// Guards calls that must return: when one has not returned within the limit
// the process reports which call hung and ends with a failure, since the
// hung thread cannot be taken back.
class Watchdog {
 public:
  explicit Watchdog(DWORD limitMs = 10000);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  template <class F>
  auto Guard(const char* what, F&& call) -> decltype(call()) {
    Arm(what);
    struct Disarm {
      Watchdog* w;
      ~Disarm() { w->Arm(nullptr); }
    } disarm{this};
    return call();
  }

 private:
  void Arm(const char* what);
  void Watch();

  const DWORD m_limitMs;
  std::atomic<const char*> m_what{nullptr};
  std::atomic<DWORD> m_since{0};
  std::atomic<bool> m_exit{false};
  std::thread m_thread;
};

}  // namespace ovl::testing

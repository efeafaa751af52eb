#pragma once
// Building real graphs around the overlay filter: AVI sources through the
// platform's File Source and AVI Splitter, the filter itself, and the
// expected frames from the literal reference compositor.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/windows/support/com_apartment.h"
#include "engine/filter/overlay_filter.h"
#include "persistence/core/com_ptr.h"
#include "tests/windows/support/grabber_sink.h"
#include "tests/windows/support/graph_util.h"

namespace ovl::testing {

// A 24-bit picture as the inputs deliver it (bottom-up, padded rows).
using Frame = std::vector<BYTE>;
Frame PatternPicture(LONG width, LONG height, int seed);

// Writes an uncompressed AVI of the given frames into the temp directory.
std::wstring WriteAvi(const std::wstring& name, LONG width, LONG height, REFERENCE_TIME frameDuration,
                      const std::vector<Frame>& frames);

// A new overlay filter (its only reference is returned).
ovl::ComPtr<IBaseFilter> MakeOverlayFilter(CVOvrLyFilter** filter);

// File Source + AVI Splitter for `path` in `graph`; the splitter's video output pin.
ovl::ComPtr<IPin> AddAviSource(IGraphBuilder* graph, const std::wstring& path, const wchar_t* name);

// Runs the graph until EC_COMPLETE (or the timeout) and stops it; returns
// whether it completed.
bool RunToCompletion(IGraphBuilder* graph, long timeoutMs = 20000);

// Expected output frames for the main frames and, per main frame, the
// second-input frame it is paired with (null: none held).
std::vector<Frame> ReferenceFrames(const OverlaySettings& settings, LONG compositeWidth, LONG compositeHeight,
                                   LONG width1, LONG height1, const std::vector<Frame>& main, LONG width2,
                                   LONG height2, const std::vector<const Frame*>& held);

// Whether the filter's module state shows no live framework objects.
bool NoLiveObjects();

// A graph without a clock holding one overlay filter, and the Sample
// Grabber sink its output connects to; at the end nothing may outlive it.
class OverlayFilterGraph : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Called while the graph still lives, before the filter is released.
  virtual void ReleaseUpstream() {}
  ovl::ComPtr<IPin> Input(int index) { return FindPin(filterBase.Get(), PINDIR_INPUT, index); }
  ovl::ComPtr<IPin> Output() { return FindPin(filterBase.Get(), PINDIR_OUTPUT); }
  void ConnectSink();

  ComApartment com;
  ovl::ComPtr<IGraphBuilder> graph;
  ovl::ComPtr<IBaseFilter> filterBase;
  CVOvrLyFilter* filter = nullptr;
  std::unique_ptr<GrabberSink> sink;
};

}  // namespace ovl::testing

// The overlay filter in real graphs: Wine's File Source and AVI Splitter
// upstream, the Sample Grabber and Null Renderer downstream. Every frame that
// comes out equals the literal reference compositor's frame for the same
// inputs and settings.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/gdi/picture_install.h"
#include "streaming/mux_dynamic_output_pin.h"
#include "tests/windows/support/filter_test_support.h"
#include "tests/windows/support/graph_util.h"
#include "tools/avi_writer.h"

namespace ovl {
namespace {

using namespace ovl::testing;

constexpr REFERENCE_TIME kFrame = 400000;  // 25 frames per second

std::vector<Frame> Pictures(LONG w, LONG h, int count, int seed) {
  std::vector<Frame> frames;
  for (int i = 0; i < count; ++i) frames.push_back(PatternPicture(w, h, seed + i));
  return frames;
}

class OverlayGraph : public OverlayFilterGraph {
 protected:
  void TearDown() override {
    OverlayFilterGraph::TearDown();
    for (const std::wstring& f : files) DeleteFileW(f.c_str());
  }

  ovl::ComPtr<IPin> Source(const wchar_t* name, LONG w, LONG h, const std::vector<Frame>& frames) {
    const std::wstring path = WriteAvi(std::wstring(name) + L".avi", w, h, kFrame, frames);
    files.push_back(path);
    return AddAviSource(graph.Get(), path, name);
  }

  std::vector<std::wstring> files;
};

TEST_F(OverlayGraph, OneInputEveryFrameMatchesTheReference) {
  const std::vector<Frame> main = Pictures(65, 47, 7, 1);
  ovl::ComPtr<IPin> splitter = Source(L"main", 65, 47, main);
  ASSERT_TRUE(splitter);
  ASSERT_EQ(S_OK, graph->ConnectDirect(splitter.Get(), Input(0).Get(), nullptr));
  // Some real drawing: the video at 60 % opacity inside an ellipse over a coloured background.
  SettingsAccess& s = filter->Access();
  s.PutBkLayerColor(0x00205080);
  s.PutXPos(LAYERTYPE_VIDEO1, 3);
  s.PutOpacity(LAYERTYPE_VIDEO1, 60);
  s.PutFlag(LAYERTYPE_VIDEO1, &LayerSettings::EnableOpacity, kVariantTrue);
  ASSERT_EQ(kOk, s.PutRegion(LAYERTYPE_VIDEO1, REGION_ELLIPSE));
  ConnectSink();
  ASSERT_TRUE(RunToCompletion(graph.Get()));

  const auto frames = sink->Frames();
  ASSERT_EQ(main.size(), frames.size()) << "one output frame per input frame";
  const auto expected = ReferenceFrames(filter->Settings(), 65, 47, 65, 47, main, 0, 0, {});
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(expected[i], frames[i].bytes) << "frame " << i;
    EXPECT_TRUE(frames[i].hasTime);
    EXPECT_EQ(static_cast<REFERENCE_TIME>(i) * kFrame, frames[i].start) << "input times travel with the frame";
  }
}

TEST_F(OverlayGraph, CustomOutputSize) {
  SettingsAccess& s = filter->Access();
  s.PutOutputSizeType(OUTPUTSIZETYPE_CUSTOM);
  s.PutOutputWidth(81);
  s.PutOutputHeight(50);
  const std::vector<Frame> main = Pictures(40, 30, 4, 3);
  ASSERT_EQ(S_OK, graph->ConnectDirect(Source(L"small", 40, 30, main).Get(), Input(0).Get(), nullptr));
  s.PutXPos(LAYERTYPE_VIDEO1, 20);
  s.PutYPos(LAYERTYPE_VIDEO1, 10);
  ConnectSink();
  ASSERT_TRUE(RunToCompletion(graph.Get()));
  const auto frames = sink->Frames();
  ASSERT_EQ(main.size(), frames.size());
  const auto expected = ReferenceFrames(filter->Settings(), 81, 50, 40, 30, main, 0, 0, {});
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(expected[i], frames[i].bytes) << i;
}

TEST_F(OverlayGraph, TwoInputsOfDifferentSizesGiveTheLargestSize) {
  const std::vector<Frame> main = Pictures(64, 48, 6, 10);
  const std::vector<Frame> second = Pictures(96, 32, 6, 40);
  ASSERT_EQ(S_OK, graph->ConnectDirect(Source(L"main", 64, 48, main).Get(), Input(0).Get(), nullptr));
  ASSERT_EQ(S_OK, graph->ConnectDirect(Source(L"second", 96, 32, second).Get(), Input(1).Get(), nullptr));
  EXPECT_EQ(96u, filter->Settings().CompositeWidth);
  EXPECT_EQ(48u, filter->Settings().CompositeHeight);
  SettingsAccess& s = filter->Access();
  s.PutXPos(LAYERTYPE_VIDEO2, 16);
  s.PutYPos(LAYERTYPE_VIDEO2, 8);
  s.PutTransparentColor(LAYERTYPE_VIDEO2, 0x00000000);
  s.PutFlag(LAYERTYPE_VIDEO2, &LayerSettings::EnableTransparency, kVariantTrue);
  ConnectSink();
  ASSERT_TRUE(RunToCompletion(graph.Get()));

  const auto frames = sink->Frames();
  ASSERT_EQ(main.size(), frames.size());
  // Equal frame rates: main frame k is paired with second frame k.
  std::vector<const Frame*> held;
  for (const Frame& f : second) held.push_back(&f);
  const auto expected = ReferenceFrames(filter->Settings(), 96, 48, 64, 48, main, 96, 32, held);
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(expected[i], frames[i].bytes) << i;
}

TEST_F(OverlayGraph, OutputWrittenAsAviReadsBackThroughTheSplitter) {
  const std::vector<Frame> main = Pictures(33, 21, 5, 77);
  ASSERT_EQ(S_OK, graph->ConnectDirect(Source(L"main", 33, 21, main).Get(), Input(0).Get(), nullptr));
  filter->Access().PutBkLayerColor(0x000000FF);
  filter->Access().PutXPos(LAYERTYPE_VIDEO1, 5);
  ConnectSink();
  ASSERT_TRUE(RunToCompletion(graph.Get()));
  const auto composed = sink->Frames();
  ASSERT_EQ(main.size(), composed.size());

  // Our own sink writes the RIFF file (the AVI Mux is not usable under Wine).
  std::vector<Frame> written;
  for (const CapturedFrame& f : composed) written.push_back(f.bytes);
  const std::wstring out = WriteAvi(L"composed.avi", 33, 21, kFrame, written);
  files.push_back(out);
  ComApartment again;
  ovl::ComPtr<IGraphBuilder> reader = CreateGraphWithoutClock();
  GrabberSink readBack;
  ASSERT_EQ(S_OK, readBack.AddTo(reader.Get(), MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
  ovl::ComPtr<IPin> pin = AddAviSource(reader.Get(), out, L"composed");
  ASSERT_TRUE(pin);
  ASSERT_EQ(S_OK, readBack.ConnectFrom(reader.Get(), pin.Get()));
  ASSERT_TRUE(RunToCompletion(reader.Get()));
  const auto frames = readBack.Frames();
  ASSERT_EQ(written.size(), frames.size());
  // Wine's splitter leaves the row padding undefined: compare the pixels.
  for (std::size_t i = 0; i < frames.size(); ++i) {
    ASSERT_EQ(written[i].size(), frames[i].bytes.size());
    for (LONG row = 0; row < 21; ++row) {
      const std::size_t at = row * RgbStride(33);
      ASSERT_TRUE(std::equal(written[i].begin() + at, written[i].begin() + at + 3 * 33, frames[i].bytes.begin() + at))
          << "frame " << i << " row " << row;
    }
  }
}

TEST_F(OverlayGraph, DisconnectingTheMainInputDisconnectsTheOutput) {
  const std::vector<Frame> main = Pictures(16, 16, 2, 1);
  ovl::ComPtr<IPin> splitter = Source(L"main", 16, 16, main);
  ASSERT_EQ(S_OK, graph->ConnectDirect(splitter.Get(), Input(0).Get(), nullptr));
  ConnectSink();
  ovl::ComPtr<IPin> peer;
  ASSERT_EQ(S_OK, Output()->ConnectedTo(peer.Put()));
  ASSERT_EQ(S_OK, graph->Disconnect(Input(0).Get()));
  ASSERT_EQ(S_OK, graph->Disconnect(splitter.Get()));
  EXPECT_EQ(VFW_E_NOT_CONNECTED, Output()->ConnectedTo(peer.Put()));
  EXPECT_EQ(0u, filter->Settings().CompositeWidth) << "no input left: no composite size";
}

TEST_F(OverlayGraph, ChangingTheOutputWidthReconnectsAndStreamingResumesAtTheNewSize) {
  const std::vector<Frame> main = Pictures(40, 30, 6, 5);
  ASSERT_EQ(S_OK, graph->ConnectDirect(Source(L"main", 40, 30, main).Get(), Input(0).Get(), nullptr));
  ConnectSink();
  SettingsAccess& s = filter->Access();
  ASSERT_EQ(kOk, s.PutOutputSizeType(OUTPUTSIZETYPE_CUSTOM));  // width 0 stays automatic: no change yet
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(S_OK, Output()->ConnectionMediaType(&mt));
  EXPECT_EQ(40, reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader.biWidth);
  CoTaskMemFree(mt.pbFormat);

  ASSERT_EQ(kOk, s.PutOutputWidth(72));  // reconnects the output through the graph
  ASSERT_EQ(S_OK, Output()->ConnectionMediaType(&mt));
  const auto& bih = reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
  EXPECT_EQ(72, bih.biWidth);
  EXPECT_EQ(30, bih.biHeight);
  EXPECT_EQ(24, bih.biBitCount);
  CoTaskMemFree(mt.pbFormat);
  ASSERT_TRUE(RunToCompletion(graph.Get()));
  const auto frames = sink->Frames();
  ASSERT_EQ(main.size(), frames.size());
  const auto expected = ReferenceFrames(filter->Settings(), 72, 30, 40, 30, main, 0, 0, {});
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(expected[i], frames[i].bytes) << i;
  EXPECT_EQ(kOk, s.PutOutputWidth(72)) << "the same value again does not reconnect";
}

}  // namespace
}  // namespace ovl

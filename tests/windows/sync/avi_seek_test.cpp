// Wine's File Source and AVI Splitter upstream of both inputs: a seek through
// the graph moves both files, and the output resumes at the new position.
#include <gtest/gtest.h>

#include "tests/windows/sync/sync_rig.h"

namespace ovl {
namespace {

using namespace ovl::testing;

constexpr LONG kWidth = 32, kHeight = 16;
constexpr REFERENCE_TIME kFrame = 400000;
// Main samples that arrive while the second file is still being moved are
// dropped, and input 0's splitter is moved first: with these tiny frames it
// can push dozens of them in that time on a loaded machine. The long tail
// after the seek keeps the test about where the output resumes, not about
// how fast the second seek is.
constexpr LONGLONG kFrames = 600;
constexpr LONGLONG kSeekFrame = 100;

std::wstring StreamFile(const wchar_t* name, BYTE tag) {
  std::vector<Frame> frames;
  for (LONGLONG i = 0; i < kFrames; ++i) {
    Frame f(RgbStride(kWidth) * kHeight);
    FillStreamFrame(tag, i, f.data(), static_cast<LONG>(f.size()));
    frames.push_back(std::move(f));
  }
  return WriteAvi(name, kWidth, kHeight, kFrame, frames);
}

TEST(AviSplitterSeek, BothFilesMoveAndTheOutputResumesThere) {
  ComApartment com;
  Watchdog watchdog;
  const std::wstring mainFile = StreamFile(L"sync_main.avi", kMainTag);
  const std::wstring secondFile = StreamFile(L"sync_second.avi", kSecondTag);
  ASSERT_FALSE(mainFile.empty() || secondFile.empty());
  {
    ovl::ComPtr<IGraphBuilder> graph = CreateGraphWithoutClock();
    CVOvrLyFilter* filter = nullptr;
    ovl::ComPtr<IBaseFilter> overlay = MakeOverlayFilter(&filter);
    ASSERT_TRUE(graph && overlay);
    ASSERT_EQ(S_OK, graph->AddFilter(overlay.Get(), L"Overlay"));
    ovl::ComPtr<IPin> mainOut = AddAviSource(graph.Get(), mainFile, L"main");
    ovl::ComPtr<IPin> secondOut = AddAviSource(graph.Get(), secondFile, L"second");
    ASSERT_TRUE(mainOut && secondOut);
    ASSERT_EQ(S_OK, graph->ConnectDirect(mainOut.Get(), FindPin(overlay.Get(), PINDIR_INPUT, 0).Get(), nullptr));
    ASSERT_EQ(S_OK, graph->ConnectDirect(secondOut.Get(), FindPin(overlay.Get(), PINDIR_INPUT, 1).Get(), nullptr));
    GrabberSink sink;
    ASSERT_EQ(S_OK, sink.AddTo(graph.Get(), MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
    ASSERT_EQ(S_OK, sink.ConnectFrom(graph.Get(), FindPin(overlay.Get(), PINDIR_OUTPUT).Get()));
    filter->Access().PutXPos(LAYERTYPE_VIDEO2, kWidth / 2);

    auto control = graph.As<IMediaControl>(IID_IMediaControl);
    auto seeking = graph.As<IMediaSeeking>(IID_IMediaSeeking);
    auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
    LONGLONG duration = 0;
    EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
    EXPECT_EQ(kFrames * kFrame, duration);

    // Paused, both splitters are streaming and the renderer holds the first frame.
    ASSERT_TRUE(SUCCEEDED(watchdog.Guard("Pause", [&] { return control->Pause(); })));
    OAFilterState state = State_Stopped;
    watchdog.Guard("GetState", [&] { return control->GetState(5000, &state); });
    ASSERT_EQ(S_OK, watchdog.Guard("seek", [&] { return SeekTo(seeking.Get(), kSeekFrame * kFrame); }));
    ASSERT_TRUE(SUCCEEDED(watchdog.Guard("Run", [&] { return control->Run(); })));
    long code = 0;
    EXPECT_EQ(S_OK, watchdog.Guard("completion", [&] { return events->WaitForCompletion(20000, &code); }));
    EXPECT_EQ(EC_COMPLETE, code);
    watchdog.Guard("Stop", [&] { return control->Stop(); });

    // A few frames from before the seek, then the new position to the end.
    std::vector<Shown> shown;
    const auto frames = sink.Frames();
    for (const CapturedFrame& f : frames) shown.push_back(ShownIn(f.bytes, kWidth));
    std::size_t resumed = 0;
    while (resumed < shown.size() && shown[resumed].main < kSeekFrame) ++resumed;
    ASSERT_LT(resumed, shown.size()) << "no frame from the new position";
    EXPECT_LT(resumed, 5u) << "before the seek only what the paused graph let through";
    EXPECT_EQ(kFrames - 1, shown.back().main) << "the output runs to the end of the file";
    // Main frames that input 0's splitter sends while input 1's is still
    // being moved are dropped, so the output starts at or a little after the
    // new position. Right after the flush the second input may run a frame or
    // two ahead (its first sample after a flush is let go at once), but every
    // frame shows a second frame that covers it, and once both threads are in
    // step each main frame shows the second frame of the same index.
    for (std::size_t i = resumed; i < shown.size(); ++i) {
      EXPECT_GE(shown[i].second, kSeekFrame) << "the second file moved too; frame " << i;
      if (i > resumed) {
        EXPECT_EQ(shown[i - 1].main + 1, shown[i].main) << "frame " << i;
      }
      if (i < resumed + 3) {
        EXPECT_GE(shown[i].second, shown[i].main) << "frame " << i;
        EXPECT_LE(shown[i].second - shown[i].main, 2) << "frame " << i;
      } else {
        EXPECT_EQ(shown[i].main, shown[i].second) << "frame " << i;
      }
    }
    // Times count from the new position.
    EXPECT_EQ((shown[resumed].main - kSeekFrame) * kFrame, frames[resumed].start);
  }
  DeleteFileW(mainFile.c_str());
  DeleteFileW(secondFile.c_str());
  EXPECT_TRUE(NoLiveObjects());
}

}  // namespace
}  // namespace ovl

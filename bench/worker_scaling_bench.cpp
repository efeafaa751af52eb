// Four-layer frames of 1920x1080 and 3840x2160, every mode, composed by one
// and by two strip workers (the calling thread plus a pool helper), with the
// kernels the CPU gets. Times are wall-clock (several threads work on a
// frame), the repetitions of all benchmarks run in random order, and the
// table printed at the end gives frames per second (median and best) and
// the speed-up of two workers over one, run by run in the same process.
// A control row shares pure arithmetic (no memory traffic) the same way: if
// two workers do not halve its time, the machine had no second core to give.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/timing_reporter.h"
#include "engine/core/frame_compositor.h"
#include "tests/support/scene_builder.h"

namespace ovl {
namespace {

using testing::Scene;
using testing::SceneMode;

constexpr int kRepetitions = 7;
const SceneMode kModes[] = {SceneMode::Copy, SceneMode::ColorKey, SceneMode::Opacity, SceneMode::Mask};
const std::int32_t kSizes[][2] = {{1920, 1080}, {3840, 2160}};

const char* ModeName(SceneMode mode) {
  switch (mode) {
    case SceneMode::Copy: return "copy";
    case SceneMode::ColorKey: return "colour key";
    case SceneMode::Opacity: return "opacity";
    default: return "mask";
  }
}

std::string Key(std::int32_t width, std::int32_t height, SceneMode mode, int workers) {
  return std::to_string(width) + "x" + std::to_string(height) + "/" + ModeName(mode) + "/workers:" +
         std::to_string(workers);
}

// Every frame brings a second-input picture, as in compositor_bench.cpp.
void BM_Workers(benchmark::State& state, std::int32_t width, std::int32_t height, SceneMode mode, int workers) {
  Scene scene = testing::BenchScene(width, height, mode, false);
  WorkerPool pool;
  FrameCompositor compositor;
  if (!pool.Start(workers - 1) || compositor.SetWorkers(workers) != kOk) {
    state.SkipWithError("no workers");
    return;
  }
  compositor.UsePool(&pool);
  compositor.BuildSurfaces(width, height, scene.bkColor, {width, height, true}, {width, height, true});
  std::vector<std::uint8_t> output(RgbStride(width) * static_cast<std::size_t>(height));
  for (auto _ : state) {
    const HResult hr = compositor.ComposeFrame(scene.settings, scene.video1.Data(), scene.video1.SizeBytes(),
                                               scene.video2.Data(), scene.video2.SizeBytes(), output.data(),
                                               output.size());
    if (hr != kOk) state.SkipWithError("compose failed");
    benchmark::DoNotOptimize(output.data());
  }
}

// The control: 64 pieces of arithmetic per "frame", about 1 ms in all.
void BM_Control(benchmark::State& state, int workers) {
  WorkerPool pool;
  if (!pool.Start(workers - 1)) {
    state.SkipWithError("no workers");
    return;
  }
  for (auto _ : state) {
    pool.Run(64, [](std::size_t index, int) {
      double x = static_cast<double>(index);
      for (int i = 0; i < 10000; ++i) x = x * 1.0000001 + 1e-9;
      benchmark::DoNotOptimize(x);
    });
  }
}

std::string ControlKey(int workers) { return "control/workers:" + std::to_string(workers); }


}  // namespace
}  // namespace ovl

int main(int argc, char** argv) {
  using namespace ovl;
  for (const auto& size : kSizes) {
    for (SceneMode mode : kModes) {
      for (int workers : {1, 2}) {
        benchmark::RegisterBenchmark(Key(size[0], size[1], mode, workers).c_str(), BM_Workers, size[0], size[1], mode,
                                     workers)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Repetitions(kRepetitions)
            ->ComputeStatistics("min", bench::Smallest)
            ->DisplayAggregatesOnly();
      }
    }
  }
  for (int workers : {1, 2}) {
    benchmark::RegisterBenchmark(ControlKey(workers).c_str(), BM_Control, workers)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(kRepetitions)
        ->ComputeStatistics("min", bench::Smallest)
        ->DisplayAggregatesOnly();
  }
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  int argCount = static_cast<int>(args.size());
  benchmark::Initialize(&argCount, args.data());
  bench::CollectingReporter reporter(bench::CollectingReporter::Clock::Real);
  benchmark::RunSpecifiedBenchmarks(&reporter);

  auto fps = [](double seconds) { return seconds > 0 ? 1.0 / seconds : 0.0; };
  std::printf("\nFour layers, a second-input picture every frame, kernels: %s; %d repetitions, wall-clock; "
              "each cell median / best.\n\n| size | mode | 1 worker fps | 2 workers fps | speed-up |\n"
              "|---|---|---:|---:|---:|\n",
              BestPassKernels().name, kRepetitions);
  for (const auto& size : kSizes) {
    for (SceneMode mode : kModes) {
      const bench::Timing one = reporter.timings[Key(size[0], size[1], mode, 1)];
      const bench::Timing two = reporter.timings[Key(size[0], size[1], mode, 2)];
      std::printf("| %dx%d | %s | %.0f / %.0f | %.0f / %.0f | %.2f / %.2f |\n", size[0], size[1], ModeName(mode),
                  fps(one.median), fps(one.best), fps(two.median), fps(two.best),
                  two.median > 0 ? one.median / two.median : 0.0, two.best > 0 ? one.best / two.best : 0.0);
    }
  }
  const bench::Timing one = reporter.timings[ControlKey(1)];
  const bench::Timing two = reporter.timings[ControlKey(2)];
  std::printf("| control | arithmetic only | %.0f / %.0f | %.0f / %.0f | %.2f / %.2f |\n", fps(one.median),
              fps(one.best), fps(two.median), fps(two.best), two.median > 0 ? one.median / two.median : 0.0,
              two.best > 0 ? one.best / two.best : 0.0);
  benchmark::Shutdown();
  return 0;
}

// Composite of four 1920x1080 layers per drawing mode, with and without an
// elliptic clip, for the engine (best kernels and portable scalar), the
// literal reference, and a plain memcpy of the bytes a frame must move.
// After the runs a table of frames per second, speedup over the reference
// and cost relative to memcpy is printed (the table of bench/README.md).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/frame_compositor.h"
#include "tests/support/reference_compositor.h"
#include "tests/support/scene_builder.h"

namespace ovl {
namespace {

using testing::Scene;
using testing::SceneMode;

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;

const char* ModeName(SceneMode mode) {
  switch (mode) {
    case SceneMode::Copy: return "copy";
    case SceneMode::ColorKey: return "colour key";
    case SceneMode::Opacity: return "opacity";
    case SceneMode::Mask: return "mask";
    default: return "mixed";
  }
}

template <class Compositor>
void RunComposite(benchmark::State& state, Compositor& compositor, SceneMode mode, bool ellipse) {
  Scene scene = testing::BenchScene(kWidth, kHeight, mode, ellipse);
  compositor.BuildSurfaces(kWidth, kHeight, scene.bkColor,
                           {kWidth, kHeight, true}, {kWidth, kHeight, true});
  std::vector<std::uint8_t> output(RgbStride(kWidth) * kHeight);
  for (auto _ : state) {
    const HResult hr = compositor.ComposeFrame(scene.settings, scene.video1.Data(), scene.video1.SizeBytes(),
                                               scene.video2.Data(), scene.video2.SizeBytes(),
                                               output.data(), output.size());
    if (hr != kOk) state.SkipWithError("compose failed");
    benchmark::DoNotOptimize(output.data());
  }
}

void BM_Engine(benchmark::State& state, SceneMode mode, bool ellipse) {
  FrameCompositor compositor;
  RunComposite(state, compositor, mode, ellipse);
}

void BM_EngineScalar(benchmark::State& state, SceneMode mode, bool ellipse) {
  FrameCompositor compositor(ScalarPassKernels());
  RunComposite(state, compositor, mode, ellipse);
}

void BM_Reference(benchmark::State& state, SceneMode mode, bool ellipse) {
  reference::ReferenceCompositor compositor;
  RunComposite(state, compositor, mode, ellipse);
}

// What any composite of four full-frame layers has to move at least: each
// layer picture read once into the composite, the second input's picture
// copied into its surface, and the composite copied into the output sample.
void BM_Memcpy(benchmark::State& state) {
  const std::size_t bytes = RgbStride(kWidth) * kHeight;
  std::vector<std::uint8_t> layers[4], composite(bytes), output(bytes), held(bytes);
  for (auto& layer : layers) layer.assign(bytes, 7);
  for (auto _ : state) {
    std::memcpy(layers[2].data(), held.data(), bytes);
    for (auto& layer : layers) std::memcpy(composite.data(), layer.data(), bytes);
    std::memcpy(output.data(), composite.data(), bytes);
    benchmark::DoNotOptimize(output.data());
  }
}

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) seconds[run.benchmark_name()] = run.GetAdjustedRealTime() / 1e9;
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;  // per frame
};

std::string Key(const char* kind, SceneMode mode, bool ellipse) {
  return std::string(kind) + "/" + ModeName(mode) + (ellipse ? "/ellipse" : "/full");
}

}  // namespace
}  // namespace ovl

int main(int argc, char** argv) {
  using namespace ovl;
  const SceneMode modes[] = {SceneMode::Copy, SceneMode::ColorKey, SceneMode::Opacity, SceneMode::Mask};
  for (SceneMode mode : modes) {
    for (bool ellipse : {false, true}) {
      benchmark::RegisterBenchmark(Key("engine", mode, ellipse).c_str(), BM_Engine, mode, ellipse)
          ->Unit(benchmark::kMillisecond)->UseRealTime();
      benchmark::RegisterBenchmark(Key("scalar", mode, ellipse).c_str(), BM_EngineScalar, mode, ellipse)
          ->Unit(benchmark::kMillisecond)->UseRealTime();
      benchmark::RegisterBenchmark(Key("reference", mode, ellipse).c_str(), BM_Reference, mode, ellipse)
          ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
    }
  }
  benchmark::RegisterBenchmark("memcpy/frame-traffic", BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  const double memcpySeconds = reporter.seconds["memcpy/frame-traffic"];
  std::printf("\nKernels: %s. 1920x1080, four layers, second input arriving every frame.\n\n",
              BestPassKernels().name);
  std::printf("| mode | clip | engine fps | scalar fps | reference fps | speedup (engine/reference) | engine / memcpy |\n");
  std::printf("|---|---|---:|---:|---:|---:|---:|\n");
  for (SceneMode mode : modes) {
    for (bool ellipse : {false, true}) {
      const double engine = reporter.seconds[Key("engine", mode, ellipse)];
      const double scalar = reporter.seconds[Key("scalar", mode, ellipse)];
      const double literal = reporter.seconds[Key("reference", mode, ellipse)];
      if (engine <= 0 || literal <= 0) continue;
      std::printf("| %s | %s | %.0f | %.0f | %.1f | %.1fx | %.2f |\n", ModeName(mode),
                  ellipse ? "ellipse" : "none", 1.0 / engine, scalar > 0 ? 1.0 / scalar : 0.0,
                  1.0 / literal, literal / engine, memcpySeconds > 0 ? engine / memcpySeconds : 0.0);
    }
  }
  if (memcpySeconds > 0) std::printf("\nmemcpy of the same frame traffic: %.3f ms\n", memcpySeconds * 1e3);
  benchmark::Shutdown();
  return 0;
}

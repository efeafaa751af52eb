// Composite of four 1920x1080 layers per drawing mode, with and without an
// elliptic clip, for the engine (best kernels and portable scalar), the
// literal reference, and a plain memcpy of the bytes a frame must touch;
// then each kernel alone over rows that stay in cache, as milliseconds per
// frame-sized layer (the arithmetic without the memory traffic).
// After the runs the table of bench/README.md is printed: frames per second
// (median of the repetitions, run in random order), speedup over the
// reference and cost relative to memcpy. Times are the CPU time of the one
// benchmark thread, so on a shared machine the time the scheduler gives to
// other jobs is not counted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/core/frame_compositor.h"
#include "tests/support/reference_compositor.h"
#include "tests/support/scene_builder.h"

namespace ovl {
namespace {

using testing::Scene;
using testing::SceneMode;

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;
constexpr int kRepetitions = 5;

const char* ModeName(SceneMode mode) {
  switch (mode) {
    case SceneMode::Copy: return "copy";
    case SceneMode::ColorKey: return "colour key";
    case SceneMode::Opacity: return "opacity";
    case SceneMode::Mask: return "mask";
    default: return "mixed";
  }
}

// Every frame brings a second-input picture (so every frame clears the
// composite and refreshes the second surface, the costlier case).
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

// What a frame of four full-frame layers must move at least: the three
// pictures it reads (main input, second input, overlay image; the
// background is one colour) and the three it writes (second-input surface,
// composite, output sample), as three frame-sized memcpys between separate
// buffers. With `masks`, the four masks are read too (copied into one
// mask-sized buffer).
void BM_Memcpy(benchmark::State& state, bool masks) {
  const std::size_t bytes = RgbStride(kWidth) * kHeight;
  const std::size_t maskBytes = MaskStride(kWidth) * kHeight;
  std::vector<std::uint8_t> video1(bytes, 1), held(bytes, 2), overlay(bytes, 3);
  std::vector<std::uint8_t> surface(bytes), composite(bytes), output(bytes);
  std::vector<std::uint8_t> maskIn[4], maskOut(maskBytes);
  for (auto& m : maskIn) m.assign(maskBytes, 4);
  for (auto _ : state) {
    std::memcpy(surface.data(), held.data(), bytes);
    std::memcpy(composite.data(), video1.data(), bytes);
    std::memcpy(output.data(), overlay.data(), bytes);
    if (masks) {
      for (auto& m : maskIn) std::memcpy(maskOut.data(), m.data(), maskBytes);
    }
    benchmark::DoNotOptimize(output.data());
    benchmark::DoNotOptimize(maskOut.data());
  }
}

// One kernel over 1080 rows of 1920 pixels, cycling through a few output,
// layer and mask rows that stay in cache: the time per frame-sized layer of
// the arithmetic alone. The row counts differ, so an output row meets a
// different layer row each time and never settles on one picture.
void BM_Kernel(benchmark::State& state, const PassKernels* kernels, SceneMode mode) {
  constexpr int kOutRows = 16, kLayerRows = 15, kMaskRows = 13;
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(kWidth);
  std::vector<std::uint8_t> out(rowBytes * kOutRows), layer(rowBytes * kLayerRows), mask(kWidth * kMaskRows);
  std::mt19937 rng(7);
  for (auto& v : out) v = static_cast<std::uint8_t>(rng());
  for (auto& v : layer) v = static_cast<std::uint8_t>(rng());
  for (std::size_t i = 0; i < mask.size(); ++i) {
    mask[i] = static_cast<std::uint8_t>((i % kWidth + i / kWidth * 40) * 255 / (kWidth + kHeight));
  }
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* o = out.data() + rowBytes * (y % kOutRows);
      const std::uint8_t* l = layer.data() + rowBytes * (y % kLayerRows);
      switch (mode) {
        case SceneMode::Copy: kernels->copy(o, l, kWidth); break;
        case SceneMode::ColorKey: kernels->colorKey(o, l, kWidth, 0x00FF00); break;
        case SceneMode::Opacity: kernels->opacity(o, l, rowBytes, 153); break;
        default: kernels->mask(o, l, mask.data() + kWidth * (y % kMaskRows), kWidth); break;
      }
    }
    benchmark::DoNotOptimize(out.data());
  }
}

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.aggregate_name == "median") seconds[run.run_name.function_name] = run.GetAdjustedCPUTime() / 1e3;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;  // per frame (the benchmarks report milliseconds)
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
          ->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->DisplayAggregatesOnly();
      benchmark::RegisterBenchmark(Key("scalar", mode, ellipse).c_str(), BM_EngineScalar, mode, ellipse)
          ->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->DisplayAggregatesOnly();
      benchmark::RegisterBenchmark(Key("reference", mode, ellipse).c_str(), BM_Reference, mode, ellipse)
          ->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(kRepetitions)
          ->DisplayAggregatesOnly();
    }
  }
  for (bool masks : {false, true}) {
    benchmark::RegisterBenchmark(masks ? "memcpy/frame-traffic+masks" : "memcpy/frame-traffic", BM_Memcpy, masks)
        ->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->DisplayAggregatesOnly();
  }
  for (const PassKernels* kernels : SupportedPassKernels()) {
    for (SceneMode mode : modes) {
      benchmark::RegisterBenchmark((std::string("kernel/") + kernels->name + "/" + ModeName(mode)).c_str(),
                                   BM_Kernel, kernels, mode)
          ->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->DisplayAggregatesOnly();
    }
  }

  // Repetitions of all benchmarks are run in random order, so a change in
  // load on a shared machine hits the engine and the reference alike.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  int argCount = static_cast<int>(args.size());
  benchmark::Initialize(&argCount, args.data());
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  const double memcpySeconds = reporter.seconds["memcpy/frame-traffic"];
  const double memcpyMaskSeconds = reporter.seconds["memcpy/frame-traffic+masks"];
  std::printf("\nKernels: %s. 1920x1080, four layers, a second-input picture every frame; "
              "median of %d repetitions, CPU time of one thread.\n\n", BestPassKernels().name, kRepetitions);
  std::printf("| mode | clip | engine fps | scalar fps | reference fps | speedup (engine/reference) | engine / memcpy |\n");
  std::printf("|---|---|---:|---:|---:|---:|---:|\n");
  for (SceneMode mode : modes) {
    for (bool ellipse : {false, true}) {
      const double engine = reporter.seconds[Key("engine", mode, ellipse)];
      const double scalar = reporter.seconds[Key("scalar", mode, ellipse)];
      const double literal = reporter.seconds[Key("reference", mode, ellipse)];
      const double copy = mode == SceneMode::Mask ? memcpyMaskSeconds : memcpySeconds;
      if (engine <= 0 || literal <= 0) continue;
      std::printf("| %s | %s | %.0f | %.0f | %.1f | %.1fx | %.2f |\n", ModeName(mode),
                  ellipse ? "ellipse" : "none", 1.0 / engine, scalar > 0 ? 1.0 / scalar : 0.0,
                  1.0 / literal, literal / engine, copy > 0 ? engine / copy : 0.0);
    }
  }
  if (memcpySeconds > 0) {
    std::printf("\nmemcpy of the frame traffic: %.3f ms (with the four masks: %.3f ms)\n", memcpySeconds * 1e3,
                memcpyMaskSeconds * 1e3);
  }
  std::printf("\nKernels alone, rows in cache, ms per 1920x1080 layer:\n\n| kernels | copy | colour key | opacity | mask |\n|---|---:|---:|---:|---:|\n");
  for (const PassKernels* kernels : SupportedPassKernels()) {
    std::printf("| %s", kernels->name);
    for (SceneMode mode : modes) {
      const double s = reporter.seconds[std::string("kernel/") + kernels->name + "/" + ModeName(mode)];
      std::printf(" | %.3f", s * 1e3);
    }
    std::printf(" |\n");
  }
  benchmark::Shutdown();
  return 0;
}

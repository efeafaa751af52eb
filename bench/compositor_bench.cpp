// Composite of four 1920x1080 layers per drawing mode, with and without an
// elliptic clip, for the engine with every kernel set this CPU runs (scalar,
// AVX2, AVX-512 side by side in one run), the literal reference, and a plain
// memcpy of the bytes a frame must touch; then each kernel alone over rows
// that stay in cache, as milliseconds per frame-sized layer (the arithmetic
// without the memory traffic).
// After the runs the tables of bench/README.md are printed: frames per
// second and cost relative to memcpy (median and best of the repetitions,
// run in random order). Times are the CPU time of the one benchmark thread,
// so on a shared machine the time the scheduler gives to other jobs is not
// counted.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/timing_reporter.h"
#include "engine/core/frame_compositor.h"
#include "tests/support/reference_compositor.h"
#include "tests/support/scene_builder.h"

namespace ovl {
namespace {

using testing::Scene;
using testing::SceneMode;

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;
constexpr int kRepetitions = 7;

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

void BM_Engine(benchmark::State& state, const PassKernels* kernels, SceneMode mode, bool ellipse) {
  FrameCompositor compositor(*kernels);
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

enum class KernelCase { Copy, ColorKey, Opacity, Mask, MaskTable, MaskOverItself };
constexpr KernelCase kKernelCases[] = {KernelCase::Copy, KernelCase::ColorKey, KernelCase::Opacity,
                                       KernelCase::Mask, KernelCase::MaskTable, KernelCase::MaskOverItself};

const char* KernelCaseName(KernelCase c) {
  switch (c) {
    case KernelCase::Copy: return "copy";
    case KernelCase::ColorKey: return "colour key";
    case KernelCase::Opacity: return "opacity";
    case KernelCase::Mask: return "mask";
    case KernelCase::MaskTable: return "mask table";
    default: return "mask, layer = beneath";
  }
}

// One kernel over 1080 rows of 1920 pixels, cycling through a few output,
// layer and mask rows that stay in cache: the time per frame-sized layer of
// the arithmetic alone. The row counts differ, so an output row meets a
// different layer row each time and never settles on one picture. The
// masks are a diagonal ramp over every value. MaskOverItself blends each
// layer row over a copy of itself (every lane a multiple of 255, the
// costliest case for the exactness work); the copies drift from the layer
// only where the doubles land one below, a few lanes in a thousand.
void BM_Kernel(benchmark::State& state, const PassKernels* kernels, KernelCase which) {
  constexpr int kOutRows = 16, kLayerRows = 15, kMaskRows = 13;
  const int outRows = which == KernelCase::MaskOverItself ? kLayerRows : kOutRows;
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(kWidth);
  std::vector<std::uint8_t> out(rowBytes * outRows), layer(rowBytes * kLayerRows), mask(kWidth * kMaskRows);
  MaskOverBlack table;  // the scenes' background, 0x336699, whose table has entries below the integer form
  const std::uint8_t background[3] = {0x99, 0x66, 0x33};
  table.SetColour(background);
  std::mt19937 rng(7);
  for (auto& v : out) v = static_cast<std::uint8_t>(rng());
  for (auto& v : layer) v = static_cast<std::uint8_t>(rng());
  if (which == KernelCase::MaskOverItself) out = layer;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    mask[i] = static_cast<std::uint8_t>((i % kWidth + i / kWidth * 40) * 255 / (kWidth + kHeight));
  }
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* o = out.data() + rowBytes * (y % outRows);
      const std::uint8_t* l = layer.data() + rowBytes * (y % kLayerRows);
      const std::uint8_t* m = mask.data() + kWidth * (y % kMaskRows);
      switch (which) {
        case KernelCase::Copy: kernels->copy(o, l, kWidth); break;
        case KernelCase::ColorKey: kernels->colorKey(o, l, kWidth, 0x00FF00); break;
        case KernelCase::Opacity: kernels->opacity(o, l, rowBytes, 153); break;
        case KernelCase::MaskTable: kernels->maskTable(o, table, m, kWidth); break;
        default: kernels->mask(o, l, m, kWidth); break;
      }
    }
    benchmark::DoNotOptimize(out.data());
  }
}


void Configure(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->ComputeStatistics("min", bench::Smallest)
      ->DisplayAggregatesOnly();
}

std::string Key(const std::string& kind, SceneMode mode, bool ellipse) {
  return kind + "/" + ModeName(mode) + (ellipse ? "/ellipse" : "/full");
}

std::string KernelKey(const PassKernels* kernels, KernelCase which) {
  return std::string("kernel/") + kernels->name + "/" + KernelCaseName(which);
}

}  // namespace
}  // namespace ovl

int main(int argc, char** argv) {
  using namespace ovl;
  const SceneMode modes[] = {SceneMode::Copy, SceneMode::ColorKey, SceneMode::Opacity, SceneMode::Mask};
  const std::vector<const PassKernels*> kernelSets = SupportedPassKernels();
  for (SceneMode mode : modes) {
    for (bool ellipse : {false, true}) {
      for (const PassKernels* kernels : kernelSets) {
        Configure(benchmark::RegisterBenchmark(Key(std::string("engine/") + kernels->name, mode, ellipse).c_str(),
                                               BM_Engine, kernels, mode, ellipse));
      }
      Configure(benchmark::RegisterBenchmark(Key("reference", mode, ellipse).c_str(), BM_Reference, mode, ellipse)
                    ->MinTime(1.0));
    }
  }
  for (bool masks : {false, true}) {
    Configure(benchmark::RegisterBenchmark(masks ? "memcpy/frame-traffic+masks" : "memcpy/frame-traffic", BM_Memcpy,
                                           masks));
  }
  for (const PassKernels* kernels : kernelSets) {
    for (KernelCase which : kKernelCases) {
      Configure(benchmark::RegisterBenchmark(KernelKey(kernels, which).c_str(), BM_Kernel, kernels, which));
    }
  }

  // Repetitions of all benchmarks are run in random order, so a change in
  // load on a shared machine hits every kernel set and the reference alike.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  int argCount = static_cast<int>(args.size());
  benchmark::Initialize(&argCount, args.data());
  bench::CollectingReporter reporter(bench::CollectingReporter::Clock::Cpu);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& t = reporter.timings;

  const bench::Timing memcpyFrame = t["memcpy/frame-traffic"];
  const bench::Timing memcpyMasks = t["memcpy/frame-traffic+masks"];
  std::printf("\n1920x1080, four layers, a second-input picture every frame; %d repetitions, CPU time of one "
              "thread; each cell median / best.\n\nFrames per second:\n\n| mode | clip | reference",
              kRepetitions);
  for (const PassKernels* kernels : kernelSets) std::printf(" | %s", kernels->name);
  std::printf(" |\n|---|---|---:");
  for (std::size_t i = 0; i < kernelSets.size(); ++i) std::printf("|---:");
  std::printf("|\n");
  auto fps = [](double seconds) { return seconds > 0 ? 1.0 / seconds : 0.0; };
  for (SceneMode mode : modes) {
    for (bool ellipse : {false, true}) {
      const bench::Timing literal = t[Key("reference", mode, ellipse)];
      std::printf("| %s | %s | %.1f / %.1f", ModeName(mode), ellipse ? "ellipse" : "none", fps(literal.median),
                  fps(literal.best));
      for (const PassKernels* kernels : kernelSets) {
        const bench::Timing engine = t[Key(std::string("engine/") + kernels->name, mode, ellipse)];
        std::printf(" | %.0f / %.0f", fps(engine.median), fps(engine.best));
      }
      std::printf(" |\n");
    }
  }
  std::printf("\nTime per frame / memcpy of the frame traffic (mask rows: with the four masks):\n\n| mode | clip");
  for (const PassKernels* kernels : kernelSets) std::printf(" | %s", kernels->name);
  std::printf(" |\n|---|---");
  for (std::size_t i = 0; i < kernelSets.size(); ++i) std::printf("|---:");
  std::printf("|\n");
  for (SceneMode mode : modes) {
    for (bool ellipse : {false, true}) {
      const bench::Timing floor = mode == SceneMode::Mask ? memcpyMasks : memcpyFrame;
      std::printf("| %s | %s", ModeName(mode), ellipse ? "ellipse" : "none");
      for (const PassKernels* kernels : kernelSets) {
        const bench::Timing engine = t[Key(std::string("engine/") + kernels->name, mode, ellipse)];
        // Medians over medians, and best over best.
        std::printf(" | %.2f / %.2f", floor.median > 0 ? engine.median / floor.median : 0.0,
                    floor.best > 0 ? engine.best / floor.best : 0.0);
      }
      std::printf(" |\n");
    }
  }
  std::printf("\nmemcpy of the frame traffic: %.3f / %.3f ms (with the four masks: %.3f / %.3f ms)\n",
              memcpyFrame.median * 1e3, memcpyFrame.best * 1e3, memcpyMasks.median * 1e3, memcpyMasks.best * 1e3);

  std::printf("\nKernels alone, rows in cache, ms per 1920x1080 layer:\n\n| kernels");
  for (KernelCase which : kKernelCases) std::printf(" | %s", KernelCaseName(which));
  std::printf(" |\n|---");
  for (std::size_t i = 0; i < std::size(kKernelCases); ++i) std::printf("|---:");
  std::printf("|\n");
  for (const PassKernels* kernels : kernelSets) {
    std::printf("| %s", kernels->name);
    for (KernelCase which : kKernelCases) {
      const bench::Timing k = t[KernelKey(kernels, which)];
      std::printf(" | %.3f / %.3f", k.median * 1e3, k.best * 1e3);
    }
    std::printf(" |\n");
  }
  benchmark::Shutdown();
  return 0;
}

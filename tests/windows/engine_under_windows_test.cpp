// The portable engine as built into the module for Windows: the kernels the
// module picks on this CPU agree with the literal reference, on one thread
// and with the strips shared by three.
#include <gtest/gtest.h>

#include <random>

#include "engine/core/frame_compositor.h"
#include "tests/support/reference_compositor.h"
#include "tests/support/scene_builder.h"

namespace ovl {
namespace {

TEST(EngineOnWindows, RandomScenesMatchTheReference) {
  WorkerPool pool;
  ASSERT_TRUE(pool.Start(2));
  for (const PassKernels* kernels : SupportedPassKernels()) {
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
      std::mt19937 rng(seed);
      testing::Scene scene = testing::RandomScene(rng);
      const VideoFormat v1{scene.video1.Width(), scene.video1.Height(), true};
      const VideoFormat v2{scene.video2.Width(), scene.video2.Height(), true};
      FrameCompositor fast(*kernels), shared(*kernels);
      reference::ReferenceCompositor literal;
      ASSERT_EQ(kOk, fast.BuildSurfaces(scene.width, scene.height, scene.bkColor, v1, v2));
      ASSERT_EQ(kOk, shared.SetWorkers(3));
      ASSERT_EQ(kOk, shared.BuildSurfaces(scene.width, scene.height, scene.bkColor, v1, v2));
      shared.SetStripRows(3);
      shared.UsePool(&pool);
      ASSERT_EQ(kOk, literal.BuildSurfaces(scene.width, scene.height, scene.bkColor, v1, v2));
      std::vector<std::uint8_t> a(fast.CompositeBytes()), b(fast.CompositeBytes()), c(fast.CompositeBytes());
      const std::uint8_t* held = scene.heldVideo2 ? scene.video2.Data() : nullptr;
      ASSERT_EQ(kOk, fast.ComposeFrame(scene.settings, scene.video1.Data(), scene.video1.SizeBytes(), held,
                                       scene.video2.SizeBytes(), a.data(), a.size()));
      ASSERT_EQ(kOk, literal.ComposeFrame(scene.settings, scene.video1.Data(), scene.video1.SizeBytes(), held,
                                          scene.video2.SizeBytes(), b.data(), b.size()));
      ASSERT_EQ(kOk, shared.ComposeFrame(scene.settings, scene.video1.Data(), scene.video1.SizeBytes(), held,
                                         scene.video2.SizeBytes(), c.data(), c.size()));
      ASSERT_EQ(a, b) << kernels->name << " seed " << seed;
      ASSERT_EQ(a, c) << kernels->name << " seed " << seed << ", three workers";
    }
  }
}

}  // namespace
}  // namespace ovl

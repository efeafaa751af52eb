// The composite frame size under automatic and custom sizing as inputs come and go.
#include <gtest/gtest.h>

#include "engine/core/composite_size.h"

namespace ovl {
namespace {

const InputFrame kSmall{true, 320, 240, 24};
const InputFrame kLarge{true, 640, 480, 24};
const InputFrame kNone{};

TEST(CompositeSize, AutomaticSizeIsTheLargestInputWhicheverConnectsFirst) {
  for (bool smallFirst : {true, false}) {
    OverlaySettings s;
    GrowCompositeForInput(s, smallFirst ? kSmall : kLarge);
    GrowCompositeForInput(s, smallFirst ? kLarge : kSmall);
    EXPECT_EQ(640u, s.CompositeWidth);
    EXPECT_EQ(480u, s.CompositeHeight);
    EXPECT_EQ(24, s.CompositeBitCount);
  }
  OverlaySettings mixed;  // the widest and the tallest may be different inputs
  GrowCompositeForInput(mixed, {true, 800, 100, 24});
  GrowCompositeForInput(mixed, {true, 200, 600, 24});
  EXPECT_EQ(800u, mixed.CompositeWidth);
  EXPECT_EQ(600u, mixed.CompositeHeight);
}

TEST(CompositeSize, CustomDimensionsHoldAndZeroMeansAutomatic) {
  OverlaySettings s;
  s.OutputSizeType = OUTPUTSIZETYPE_CUSTOM;
  s.OutputWidth = 800;
  s.OutputHeight = 600;
  EXPECT_TRUE(RecomputeCompositeSize(s, kLarge, kSmall));
  EXPECT_EQ(800u, s.CompositeWidth);
  EXPECT_EQ(600u, s.CompositeHeight);
  GrowCompositeForInput(s, {true, 1920, 1080, 24});
  EXPECT_EQ(800u, s.CompositeWidth) << "connections do not grow a custom dimension";

  s.OutputHeight = 0;  // custom width, automatic height
  EXPECT_TRUE(RecomputeCompositeSize(s, kSmall, kLarge));
  EXPECT_EQ(800u, s.CompositeWidth);
  EXPECT_EQ(480u, s.CompositeHeight);
  EXPECT_FALSE(RecomputeCompositeSize(s, kSmall, kLarge)) << "same size: nothing to reconnect";
}

TEST(CompositeSize, OtherSizeTypesAreAutomaticWhenRecomputedButCustomAtConnection) {
  OverlaySettings s;
  s.OutputSizeType = 7;
  s.OutputWidth = 100;
  s.OutputHeight = 50;
  RecomputeCompositeSize(s, kSmall, kNone);
  EXPECT_EQ(320u, s.CompositeWidth);
  GrowCompositeForInput(s, kLarge);
  EXPECT_EQ(320u, s.CompositeWidth) << "the connection rule treats 7 as custom";
}

TEST(CompositeSize, DisconnectingFollowsTheRemainingInput) {
  OverlaySettings s;
  GrowCompositeForInput(s, kLarge);
  GrowCompositeForInput(s, kSmall);
  FollowRemainingInput(s, kSmall);  // the large input left
  EXPECT_EQ(320u, s.CompositeWidth);
  EXPECT_EQ(240u, s.CompositeHeight);
  FollowRemainingInput(s, kNone);
  EXPECT_EQ(0u, s.CompositeWidth);
  EXPECT_EQ(0, s.CompositeBitCount);
  RecomputeCompositeSize(s, kNone, kNone);
  EXPECT_EQ(0u, s.CompositeHeight);
}

}  // namespace
}  // namespace ovl

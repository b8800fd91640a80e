// Mapping the template's layout onto the reference client size.
#include <gtest/gtest.h>

#include "ui/logic/Rescale.h"

TEST(UiRescale, ReferenceSizedClientLeavesEveryChildAlone) {
    double h = 0, v = 0;
    ASSERT_TRUE(ComputeScaleFactors(600, 337, 600, 337, &h, &v));
    const ScaleRect rects[] = {{20, 65, 200, 98}, {0, 0, 600, 337}, {499, 6, 520, 27}, {1, 1, 2, 2}};
    for (const ScaleRect& r : rects) {
        ScaleRect s = RescaleRect(r, h, v);
        EXPECT_EQ(r.left, s.left);
        EXPECT_EQ(r.top, s.top);
        EXPECT_EQ(r.right, s.right);
        EXPECT_EQ(r.bottom, s.bottom);
    }
}

TEST(UiRescale, SmallerClientSpreadsChildrenOutWithTruncation) {
    // A 525 x 340 client (the template at 96 dpi) onto 600 x 337.
    double h = 0, v = 0;
    ASSERT_TRUE(ComputeScaleFactors(525, 340, 600, 337, &h, &v));
    EXPECT_DOUBLE_EQ(0.875, h);
    ScaleRect s = RescaleRect({100, 100, 201, 134}, h, v);
    EXPECT_EQ(114, s.left);    // 114.28
    EXPECT_EQ(229, s.right);   // 229.71: truncated, not rounded
    EXPECT_EQ(99, s.top);      // 99.11
    EXPECT_EQ(132, s.bottom);  // 132.8
}

TEST(UiRescale, TruncatesTowardZeroForNegativeEdges) {
    ScaleRect s = RescaleRect({-7, -7, 7, 7}, 2.0, 2.0);
    EXPECT_EQ(-3, s.left);
    EXPECT_EQ(-3, s.top);
    EXPECT_EQ(3, s.right);
    EXPECT_EQ(3, s.bottom);
}

TEST(UiRescale, NoClientAreaOrReferenceGivesNoFactors) {
    double h = 5, v = 5;
    EXPECT_FALSE(ComputeScaleFactors(0, 337, 600, 337, &h, &v));
    EXPECT_FALSE(ComputeScaleFactors(600, 0, 600, 337, &h, &v));
    EXPECT_FALSE(ComputeScaleFactors(600, 337, 0, 337, &h, &v));
    EXPECT_FALSE(ComputeScaleFactors(600, 337, 600, -1, &h, &v));
    EXPECT_EQ(5, h);
    EXPECT_EQ(5, v);
}

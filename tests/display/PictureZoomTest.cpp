// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CPictureZoom.h"

#include <gtest/gtest.h>

// Where the zoom lands at the pointer and after a drag is shown in the view's own
// test; here the limits, and what a frame of another size does.
TEST(PictureZoom, StaysWithinItsLimitsAndStartsOverForAFrameOfAnotherSize)
{
    const PictureRect placement{10, 20, 330, 260};
    CPictureZoom zoom;
    zoom.SourceFor(640, 480);
    zoom.ZoomAt(100, 330, 260, placement);
    EXPECT_EQ(zoom.Factor(), CPictureZoom::kMaxFactor);
    zoom.PanBy(-10000, 10000, placement);
    PictureSource source = zoom.SourceFor(640, 480);
    EXPECT_DOUBLE_EQ(source.left, 560);
    EXPECT_DOUBLE_EQ(source.top, 0);
    EXPECT_DOUBLE_EQ(source.width, 80);

    source = zoom.SourceFor(704, 480);
    EXPECT_EQ(zoom.Factor(), 1);
    EXPECT_EQ(source.left, 0);
    EXPECT_EQ(source.width, 704);
    zoom.ZoomAt(0.01, 10, 20, placement);
    EXPECT_EQ(zoom.Factor(), 1);
    // A zero placement (no window yet) changes nothing.
    zoom.ZoomAt(4, 0, 0, PictureRect{});
    EXPECT_EQ(zoom.Factor(), 1);
}

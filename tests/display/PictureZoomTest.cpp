#include "display/PictureZoom.h"

#include <gtest/gtest.h>

namespace
{
const PictureRect kPlacement{10, 20, 330, 260}; // 320 x 240 window pixels

// Where a window point falls in a width x height picture, as a painter maps it.
std::pair<double, double> PicturePoint(const PictureSource& source, double x, double y)
{
    return {source.left + (x - kPlacement.left) * source.width / 320,
            source.top + (y - kPlacement.top) * source.height / 240};
}
} // namespace

TEST(PictureZoom, ZoomKeepsThePointUnderThePointerAndPanStaysInsideThePicture)
{
    CPictureZoom zoom;
    EXPECT_EQ(zoom.SourceFor(640, 480).width, 640);
    const auto before = PicturePoint(zoom.SourceFor(640, 480), 250, 70);
    zoom.ZoomAt(4, 250, 70, kPlacement);
    PictureSource source = zoom.SourceFor(640, 480);
    EXPECT_EQ(source.width, 160);
    EXPECT_EQ(source.height, 120);
    const auto after = PicturePoint(source, 250, 70);
    EXPECT_DOUBLE_EQ(after.first, before.first);
    EXPECT_DOUBLE_EQ(after.second, before.second);

    // Dragging right by 8 window pixels shows what lay 4 picture pixels to the left.
    zoom.PanBy(8, -4, kPlacement);
    source = zoom.SourceFor(640, 480);
    EXPECT_DOUBLE_EQ(source.left, 480 - 0.75 * 160 - 4);
    EXPECT_DOUBLE_EQ(source.top, 100 - 50.0 / 240 * 120 + 2);
    zoom.PanBy(-10000, 10000, kPlacement);
    source = zoom.SourceFor(640, 480);
    EXPECT_DOUBLE_EQ(source.left, 480);
    EXPECT_DOUBLE_EQ(source.top, 0);

    // Beyond the limits the factor stops at 8 and at the whole picture.
    zoom.ZoomAt(100, 10, 20, kPlacement);
    EXPECT_EQ(zoom.Factor(), CPictureZoom::kMaxFactor);
    zoom.ZoomAt(0.01, 10, 20, kPlacement);
    source = zoom.SourceFor(640, 480);
    EXPECT_EQ(zoom.Factor(), 1);
    EXPECT_EQ(source.left, 0);
    EXPECT_EQ(source.width, 640);
}

TEST(PictureZoom, HoldsAcrossFramesOfOneSizeAndStartsOverForAnother)
{
    CPictureZoom zoom;
    zoom.SourceFor(320, 240);
    zoom.ZoomAt(2, 330, 260, kPlacement);
    EXPECT_DOUBLE_EQ(zoom.SourceFor(320, 240).left, 160);
    EXPECT_DOUBLE_EQ(zoom.SourceFor(320, 240).top, 120);
    const PictureSource other = zoom.SourceFor(704, 480);
    EXPECT_EQ(zoom.Factor(), 1);
    EXPECT_EQ(other.left, 0);
    EXPECT_EQ(other.width, 704);
    // A zero placement (no window yet) changes nothing.
    zoom.ZoomAt(4, 0, 0, PictureRect{});
    EXPECT_EQ(zoom.Factor(), 1);
}

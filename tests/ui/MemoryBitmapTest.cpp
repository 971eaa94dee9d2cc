#include "ui/MemoryBitmap.h"

#include "platform/CascadeApp.h"

#include <gtest/gtest.h>

#include "support/Pixels.h"

namespace {

// Drawing on a region of the screen (black at the start): pixels land at the
// region's offset, anything outside the region or the screen is dropped.
class MemoryBitmapTest : public ::testing::Test {
protected:
    uint32_t Pixel(int x, int y) { return m_app.GetDesktop().Screen().GetPixel(x, y); }
    int CountLit(const CascadeRect& r) { return CountPixels(m_app.GetDesktop().Screen(), CascadeColor(kLit), r); }
    static constexpr uint32_t kLit = 0xFFFFFFFFu;
    CascadeApp m_app;
};

TEST_F(MemoryBitmapTest, DrawingIsClippedToTheRegionAndTheScreen) {
    MemoryBitmap surface;
    surface.Init({100, 50, 20, 10});
    surface.SetPixel({1, 1}, kLit);  // before Open: nothing
    ASSERT_TRUE(surface.Open());
    for (const CascadePoint p : {CascadePoint{0, 0}, {19, 9}, {20, 0}, {0, 10}, {-1, 0}}) surface.SetPixel(p, kLit);
    surface.Close();
    surface.SetPixel({2, 2}, kLit);  // after Close: nothing
    EXPECT_EQ(2, CountLit({90, 40, 40, 30}));
    EXPECT_EQ(kLit, Pixel(100, 50));
    EXPECT_EQ(kLit, Pixel(119, 59));
    const CascadeDims screen = m_app.GetDesktop().GetDims();
    surface.Init({screen.w - 4, screen.h - 2, 320, 33});
    ASSERT_TRUE(surface.Open());
    surface.FillRect({0, 0, 320, 33}, kLit);
    surface.DrawLine({0, 1}, {319, 1}, kLit);
    surface.Close();
    EXPECT_EQ(8, CountLit({screen.w - 4, screen.h - 2, 4, 2}));
    for (const CascadeRect outside : {CascadeRect{screen.w, 0, 10, 10}, CascadeRect{-5, 0, 10, 10}}) {
        surface.Init(outside);
        EXPECT_FALSE(surface.Open());
    }
}

// Lines cover both ends along the longer axis; frames cover exactly their
// rectangle (fills are checked at the screen's corner above).
TEST_F(MemoryBitmapTest, LinesCoverBothEndsAndFramesTheirRectangle) {
    MemoryBitmap surface;
    surface.Init({0, 0, 40, 40});
    ASSERT_TRUE(surface.Open());
    surface.DrawLine({5, 30}, {5, 2}, kLit);  // drawn upwards: the points are swapped
    surface.DrawLine({0, 35}, {39, 35}, kLit);
    surface.DrawLine({7, 7}, {7, 7}, kLit);
    surface.FrameRect({12, 12, 5, 4}, kLit);
    surface.Close();
    EXPECT_EQ(29, CountLit({5, 0, 1, 35}));
    EXPECT_EQ(kLit, Pixel(5, 2));
    EXPECT_EQ(kLit, Pixel(5, 30));
    EXPECT_EQ(40, CountLit({0, 35, 40, 1}));
    EXPECT_EQ(kLit, Pixel(7, 7));
    EXPECT_EQ(14, CountLit({10, 10, 10, 10}));  // the outline of 5 x 4
}

}  // namespace

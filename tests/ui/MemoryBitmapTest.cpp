#include "ui/MemoryBitmap.h"

#include "platform/CascadeApp.h"

#include <gtest/gtest.h>

namespace {

class TestApp : public CascadeApp {};

class MemoryBitmapTest : public ::testing::Test {
protected:
    void SetUp() override {
        CascadeBitmap& screen = m_app.GetDesktop().LockScreen();
        screen.Clear(CascadeColor(0x000000FFu));
        m_app.GetDesktop().UnlockScreen();
    }
    uint32_t Pixel(int x, int y) { return m_app.GetDesktop().Screen().GetPixel(x, y); }
    int CountLit(const CascadeRect& r, uint32_t value) {
        int n = 0;
        for (int y = r.y; y < r.Bottom(); ++y)
            for (int x = r.x; x < r.Right(); ++x) n += Pixel(x, y) == value;
        return n;
    }
    static constexpr uint32_t kLit = 0xFFFFFFFFu;
    static constexpr uint32_t kDark = 0xFF000000u;
    TestApp m_app;
};

TEST_F(MemoryBitmapTest, PixelsLandAtTheRegionOffsetAndOutsideOnesAreDropped) {
    MemoryBitmap surface;
    surface.Init({100, 50, 20, 10});
    ASSERT_TRUE(surface.Open());
    surface.SetPixel({0, 0}, kLit);
    surface.SetPixel({19, 9}, kLit);
    surface.SetPixel({20, 0}, kLit);  // x = region width
    surface.SetPixel({0, 10}, kLit);
    surface.SetPixel({-1, 0}, kLit);
    surface.Close();
    EXPECT_EQ(Pixel(100, 50), kLit);
    EXPECT_EQ(Pixel(119, 59), kLit);
    EXPECT_EQ(Pixel(120, 50), kDark);
    EXPECT_EQ(Pixel(100, 60), kDark);
    EXPECT_EQ(Pixel(99, 50), kDark);
}

TEST_F(MemoryBitmapTest, RegionReachingPastTheScreenIsCutAtTheEdge) {
    const CascadeDims screen = m_app.GetDesktop().GetDims();
    MemoryBitmap surface;
    surface.Init({screen.w - 4, screen.h - 2, 320, 33});
    ASSERT_TRUE(surface.Open());
    surface.FillRect({0, 0, 320, 33}, kLit);
    surface.DrawLine({0, 1}, {319, 1}, kLit);
    surface.SetPixel({10, 10}, kLit);
    surface.Close();
    EXPECT_EQ(CountLit({screen.w - 4, screen.h - 2, 4, 2}, kLit), 8);
    MemoryBitmap outside;
    outside.Init({screen.w, 0, 10, 10});
    EXPECT_FALSE(outside.Open());
    outside.Init({-5, 0, 10, 10});
    EXPECT_FALSE(outside.Open());
}

TEST_F(MemoryBitmapTest, DrawingBeforeOpenOrAfterCloseChangesNothing) {
    MemoryBitmap surface;
    surface.Init({0, 0, 10, 10});
    surface.SetPixel({1, 1}, kLit);
    surface.FillRect({0, 0, 10, 10}, kLit);
    ASSERT_TRUE(surface.Open());
    surface.Close();
    surface.SetPixel({1, 1}, kLit);
    EXPECT_EQ(CountLit({0, 0, 10, 10}, kLit), 0);
}

TEST_F(MemoryBitmapTest, LinesCoverBothEndsAlongTheLongerAxis) {
    MemoryBitmap surface;
    surface.Init({0, 0, 40, 40});
    ASSERT_TRUE(surface.Open());
    surface.DrawLine({5, 30}, {5, 2}, kLit);  // drawn upwards: the points are swapped
    surface.DrawLine({0, 35}, {39, 35}, kLit);
    surface.DrawLine({7, 7}, {7, 7}, kLit);
    surface.Close();
    EXPECT_EQ(CountLit({5, 0, 1, 35}, kLit), 29);
    EXPECT_EQ(Pixel(5, 2), kLit);
    EXPECT_EQ(Pixel(5, 30), kLit);
    EXPECT_EQ(CountLit({0, 35, 40, 1}, kLit), 40);
    EXPECT_EQ(Pixel(7, 7), kLit);
}

TEST_F(MemoryBitmapTest, FrameAndFillCoverExactlyTheRectangle) {
    MemoryBitmap surface;
    surface.Init({10, 10, 30, 30});
    ASSERT_TRUE(surface.Open());
    surface.FrameRect({2, 2, 5, 4}, kLit);
    surface.FillRect({20, 20, 3, 2}, CascadeColor(0x00FF00FFu));
    surface.Close();
    EXPECT_EQ(CountLit({10, 10, 30, 30}, kLit), 14);  // the outline of 5x4
    EXPECT_EQ(Pixel(13, 13), kDark);                 // inside the frame
    EXPECT_EQ(CountLit({10, 10, 30, 30}, 0xFF00FF00u), 6);
}

TEST_F(MemoryBitmapTest, ColourValueMovesAlphaToTheTop) {
    EXPECT_EQ(MemoryBitmap::GetColorValue(CascadeColor(0x11223344u)), 0x44112233u);
}

}  // namespace

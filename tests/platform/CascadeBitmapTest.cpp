#include "platform/CascadeBitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr CascadeColor kBlue(0, 0, 255);
constexpr CascadeColor kRed(255, 0, 0);
constexpr uint32_t kBlueWord = 0xFF0000FFu, kRedWord = 0xFFFF0000u;
constexpr uint32_t kHalfRedOnBlue = 0xFF80007Fu;

CascadeBitmap MakeBitmap(int w, int h, const CascadeColor& fill = kBlue) {
    CascadeBitmap bitmap;
    EXPECT_TRUE(bitmap.Create({w, h}));
    bitmap.Clear(fill);
    return bitmap;
}

// Storage pixels that differ from the blue background, counted.
int CountChanged(const CascadeBitmap& bitmap) {
    const CascadeDims dims = bitmap.GetStorageDims();
    return int(std::count_if(bitmap.GetPixels(), bitmap.GetPixels() + dims.w * dims.h,
                             [](uint32_t p) { return p != kBlueWord; }));
}

// A picture with opaque, translucent and transparent pixels in every channel.
CascadeBitmap MakePattern(int w, int h) {
    CascadeBitmap bitmap;
    EXPECT_TRUE(bitmap.Create({w, h}));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bitmap.GetPixels()[y * w + x] =
                uint32_t(x * 37 + y) << 24 | uint32_t(x * 11) << 16 | uint32_t(y * 7) << 8 | uint32_t(x ^ y);
    return bitmap;
}

}  // namespace

// Source-over blending of one pixel, by a fill and by a single pixel.
TEST(CascadeBitmap, SourceOverUsesBothAlphas) {
    struct Case {
        CascadeColor under, over;
        uint32_t result;
    } const cases[] = {
        {kBlue, CascadeColor(255, 0, 0, 128), kHalfRedOnBlue},           // half red over blue mixes evenly
        {kBlue, CascadeColor(12, 34, 56), 0xFF0C2238u},                  // opaque is stored exactly
        {kBlue, CascadeColor(255, 255, 255, 0), kBlueWord},              // transparent changes nothing
        {CascadeColor(0u), CascadeColor(10, 20, 30, 100), 0x640A141Eu},  // over transparent: the source
        // alpha 128 + 128 * 127 / 255 = 192; red weighs twice as much as blue.
        {CascadeColor(0, 0, 255, 128), CascadeColor(255, 0, 0, 128), 0xC0AA0055u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.result);
        CascadeBitmap filled = MakeBitmap(4, 4, c.under), set = MakeBitmap(4, 4, c.under);
        filled.FillRect({1, 1, 2, 2}, c.over);
        set.SetPixel(1, 1, c.over);
        EXPECT_EQ(filled.GetPixel(2, 2), c.result);
        EXPECT_EQ(set.GetPixel(1, 1), c.result);
        EXPECT_EQ(filled.GetPixel(0, 0), set.GetPixel(3, 3));  // outside stays the background
    }
}

// Fills partly or far outside the storage, through views and nested views.
TEST(CascadeBitmap, DrawingStaysInsideTheStorageAndTheViewClip) {
    CascadeBitmap bitmap = MakeBitmap(8, 8);
    bitmap.FillRect({-5, -5, 8, 8}, kRed);
    bitmap.FillRect({6, 6, 1000000, 1000000}, kRed);
    bitmap.FillRect({2147483000, 2147483000, 2000, 2000}, kRed);
    bitmap.FillRect({-2147483000, 0, 100, 8}, kRed);
    bitmap.SetPixel(8, 0, kRed);
    EXPECT_EQ(CountChanged(bitmap), 9 + 4);
    EXPECT_EQ(bitmap.GetPixel(3, 3), kBlueWord);
    EXPECT_EQ(bitmap.GetPixel(-1, 0), 0u);

    CascadeBitmap big = MakeBitmap(40, 40);
    CascadeBitmap view = big.View({10, 10}, {12, 12, 5, 5});
    EXPECT_EQ(view.GetClip(), CascadeRect(2, 2, 5, 5));
    view.FillRect({-100, -100, 300, 300}, kRed);
    EXPECT_EQ(CountChanged(big), 25);
    EXPECT_EQ(big.GetPixel(12, 12), kRedWord);
    EXPECT_EQ(big.GetPixel(17, 17), kBlueWord);
    EXPECT_EQ(view.GetPixel(2, 2), kRedWord);  // view coordinates start at its origin
    // A nested view's clip is given in the outer view's coordinates.
    CascadeBitmap outer = big.View({20, 20}, {20, 20, 10, 10});
    CascadeBitmap inner = outer.View({5, 5}, {5, 5, 100, 100});
    EXPECT_EQ(inner.GetOrigin(), CascadePoint(25, 25));
    inner.Clear(kRed);
    EXPECT_EQ(CountChanged(big), 50);
    EXPECT_EQ(big.GetPixel(29, 29), kRedWord);
    EXPECT_EQ(big.GetPixel(30, 30), kBlueWord);
    CascadeBitmap outside = big.View({0, 0}, {50, 50, 10, 10});
    EXPECT_TRUE(outside.GetClip().IsEmpty());
    outside.Clear(kRed);
    EXPECT_EQ(CountChanged(big), 50);
}

// Thickness goes inward; a frame thicker than half fills, 0 draws nothing;
// a translucent frame blends its corners once.
TEST(CascadeBitmap, FrameThicknessGoesInward) {
    CascadeBitmap bitmap = MakeBitmap(20, 20);
    bitmap.FrameRect({5, 5, 10, 10}, kRed, 2);
    EXPECT_EQ(bitmap.GetPixel(6, 6), kRedWord);
    EXPECT_EQ(bitmap.GetPixel(7, 7), kBlueWord);
    EXPECT_EQ(bitmap.GetPixel(13, 13), kRedWord);
    EXPECT_EQ(CountChanged(bitmap), 100 - 36);
    CascadeBitmap filled = MakeBitmap(20, 20);
    filled.FrameRect({0, 0, 6, 6}, kRed, 0);
    EXPECT_EQ(CountChanged(filled), 0);
    filled.FrameRect({0, 0, 6, 6}, kRed, 3);
    EXPECT_EQ(CountChanged(filled), 36);
    CascadeBitmap translucent = MakeBitmap(20, 20);
    translucent.FrameRect({0, 0, 10, 10}, CascadeColor(255, 0, 0, 128), 3);
    EXPECT_EQ(translucent.GetPixel(0, 0), kHalfRedOnBlue);
    EXPECT_EQ(translucent.GetPixel(2, 2), kHalfRedOnBlue);
}

TEST(CascadeBitmap, DrawBitmapBlendsAndCopyFromReplacesClippedOnBothSides) {
    CascadeBitmap source;
    ASSERT_TRUE(source.Create({2, 1}));
    source.GetPixels()[0] = 0x80FF0000u;  // half red
    source.GetPixels()[1] = 0x00FFFFFFu;  // transparent white
    CascadeBitmap blended = MakeBitmap(4, 4), copied = MakeBitmap(4, 4);
    blended.DrawBitmap(source, {1, 1});
    copied.CopyFrom(source, {1, 1});
    EXPECT_EQ(blended.GetPixel(1, 1), kHalfRedOnBlue);
    EXPECT_EQ(blended.GetPixel(2, 1), kBlueWord);
    EXPECT_EQ(copied.GetPixel(1, 1), 0x80FF0000u);
    EXPECT_EQ(copied.GetPixel(2, 1), 0x00FFFFFFu);

    CascadeBitmap pattern = MakePattern(10, 10);
    // Source part (2,2)-(9,9) placed at (-3,-3): storage (0,0) gets source (5,5).
    CascadeBitmap target = MakeBitmap(6, 6);
    target.CopyFrom(pattern, {-3, -3}, {2, 2, 20, 20});
    EXPECT_EQ(target.GetPixel(0, 0), pattern.GetPixel(5, 5));
    EXPECT_EQ(target.GetPixel(4, 4), pattern.GetPixel(9, 9));
    EXPECT_EQ(target.GetPixel(5, 5), kBlueWord);
    // A source part starting before the source's edge keeps its placement.
    CascadeBitmap second = MakeBitmap(6, 6);
    second.CopyFrom(pattern, {0, 0}, {-2, -2, 4, 4});
    EXPECT_EQ(second.GetPixel(2, 2), pattern.GetPixel(0, 0));
    EXPECT_EQ(second.GetPixel(1, 1), kBlueWord);
    // A source view gives only its clip.
    CascadeBitmap third = MakeBitmap(6, 6);
    third.CopyFrom(pattern.View({4, 4}, {4, 4, 2, 2}), {1, 1});
    EXPECT_EQ(third.GetPixel(2, 2), pattern.GetPixel(5, 5));
    EXPECT_EQ(CountChanged(third), 4);
}

#include "platform/CascadeBitmap.h"

#include <gtest/gtest.h>

#include "support/Pixels.h"

#include <cstdint>
#include <vector>

namespace {

constexpr CascadeColor kBlue(0, 0, 255);
constexpr CascadeColor kRed(255, 0, 0);
constexpr uint32_t kBlueWord = 0xFF0000FFu, kRedWord = 0xFFFF0000u;
constexpr uint32_t kHalfRedOnBlue = 0xFF80007Fu;

CascadeBitmap MakeBitmap(int w, int h, const CascadeColor& fill = kBlue) {
    return FilledBitmap({w, h}, fill);
}

// Storage pixels that differ from the blue background, counted.
int CountChanged(const CascadeBitmap& bitmap) {
    const CascadeDims dims = bitmap.GetStorageDims();
    return int(std::count_if(bitmap.GetPixels(), bitmap.GetPixels() + dims.w * dims.h,
                             [](uint32_t p) { return p != kBlueWord; }));
}

// A picture with opaque, translucent and transparent pixels in every channel.
CascadeBitmap MakePattern(int w, int h) {
    CascadeBitmap bitmap = MakeBitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bitmap.GetPixels()[y * w + x] =
                uint32_t(x * 37 + y) << 24 | uint32_t(x * 11) << 16 | uint32_t(y * 7) << 8 | uint32_t(x ^ y);
    return bitmap;
}

// The pixels at `points`, in order.
std::vector<uint32_t> At(const CascadeBitmap& bitmap, std::initializer_list<CascadePoint> points) {
    std::vector<uint32_t> words;
    for (const CascadePoint& p : points) words.push_back(bitmap.GetPixel(p.x, p.y));
    return words;
}
using Words = std::vector<uint32_t>;

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
    EXPECT_EQ(At(bitmap, {{3, 3}, {-1, 0}}), (Words{kBlueWord, 0u}));

    CascadeBitmap big = MakeBitmap(40, 40);
    CascadeBitmap view = big.View({10, 10}, {12, 12, 5, 5});
    EXPECT_EQ(view.GetClip(), CascadeRect(2, 2, 5, 5));
    view.FillRect({-100, -100, 300, 300}, kRed);
    EXPECT_EQ(CountChanged(big), 25);
    EXPECT_EQ(At(big, {{12, 12}, {17, 17}}), (Words{kRedWord, kBlueWord}));
    EXPECT_EQ(view.GetPixel(2, 2), kRedWord);  // view coordinates start at its origin
    // A nested view's clip is given in the outer view's coordinates.
    CascadeBitmap outer = big.View({20, 20}, {20, 20, 10, 10});
    CascadeBitmap inner = outer.View({5, 5}, {5, 5, 100, 100});
    EXPECT_EQ(inner.GetOrigin(), CascadePoint(25, 25));
    inner.Clear(kRed);
    EXPECT_EQ(CountChanged(big), 50);
    EXPECT_EQ(At(big, {{29, 29}, {30, 30}}), (Words{kRedWord, kBlueWord}));
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
    EXPECT_EQ(At(bitmap, {{6, 6}, {7, 7}, {13, 13}}), (Words{kRedWord, kBlueWord, kRedWord}));
    EXPECT_EQ(CountChanged(bitmap), 100 - 36);
    CascadeBitmap filled = MakeBitmap(20, 20);
    filled.FrameRect({0, 0, 6, 6}, kRed, 0);
    EXPECT_EQ(CountChanged(filled), 0);
    filled.FrameRect({0, 0, 6, 6}, kRed, 3);
    EXPECT_EQ(CountChanged(filled), 36);
    CascadeBitmap translucent = MakeBitmap(20, 20);
    translucent.FrameRect({0, 0, 10, 10}, CascadeColor(255, 0, 0, 128), 3);
    EXPECT_EQ(At(translucent, {{0, 0}, {2, 2}}), (Words{kHalfRedOnBlue, kHalfRedOnBlue}));
}

TEST(CascadeBitmap, DrawBitmapBlendsAndCopyFromReplacesClippedOnBothSides) {
    CascadeBitmap source = MakeBitmap(2, 1);
    source.GetPixels()[0] = 0x80FF0000u;  // half red
    source.GetPixels()[1] = 0x00FFFFFFu;  // transparent white
    CascadeBitmap blended = MakeBitmap(4, 4), copied = MakeBitmap(4, 4);
    blended.DrawBitmap(source, {1, 1});
    copied.CopyFrom(source, {1, 1});
    EXPECT_EQ(At(blended, {{1, 1}, {2, 1}}), (Words{kHalfRedOnBlue, kBlueWord}));
    EXPECT_EQ(At(copied, {{1, 1}, {2, 1}}), (Words{0x80FF0000u, 0x00FFFFFFu}));

    CascadeBitmap pattern = MakePattern(10, 10);
    // Source part (2,2)-(9,9) placed at (-3,-3): storage (0,0) gets source (5,5).
    CascadeBitmap target = MakeBitmap(6, 6);
    target.CopyFrom(pattern, {-3, -3}, {2, 2, 20, 20});
    EXPECT_EQ(At(target, {{0, 0}, {4, 4}, {5, 5}}), (Words{pattern.GetPixel(5, 5), pattern.GetPixel(9, 9), kBlueWord}));
    // A source part starting before the source's edge keeps its placement.
    CascadeBitmap second = MakeBitmap(6, 6);
    second.CopyFrom(pattern, {0, 0}, {-2, -2, 4, 4});
    EXPECT_EQ(At(second, {{2, 2}, {1, 1}}), (Words{pattern.GetPixel(0, 0), kBlueWord}));
    // A source view gives only its clip.
    CascadeBitmap third = MakeBitmap(6, 6);
    third.CopyFrom(pattern.View({4, 4}, {4, 4, 2, 2}), {1, 1});
    EXPECT_EQ(third.GetPixel(2, 2), pattern.GetPixel(5, 5));
    EXPECT_EQ(CountChanged(third), 4);
}

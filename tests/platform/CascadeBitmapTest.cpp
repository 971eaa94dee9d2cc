#include "platform/CascadeBitmap.h"

#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr CascadeColor kBlue(0, 0, 255);
constexpr CascadeColor kRed(255, 0, 0);
constexpr CascadeColor kWhite(255, 255, 255);

CascadeBitmap MakeBitmap(int w, int h, const CascadeColor& fill = kBlue) {
    CascadeBitmap bitmap;
    EXPECT_TRUE(bitmap.Create({w, h}));
    bitmap.Clear(fill);
    return bitmap;
}

// Storage pixels that differ from `background`, counted.
int CountNot(const CascadeBitmap& bitmap, uint32_t background) {
    int count = 0;
    const CascadeDims dims = bitmap.GetStorageDims();
    for (int i = 0; i < dims.w * dims.h; ++i) count += bitmap.GetPixels()[i] != background;
    return count;
}

// A picture with opaque, translucent and transparent pixels in every channel.
CascadeBitmap MakePattern(int w, int h) {
    CascadeBitmap bitmap;
    EXPECT_TRUE(bitmap.Create({w, h}));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bitmap.GetPixels()[y * w + x] = uint32_t(x * 37 + y) << 24 | uint32_t(x * 11) << 16 | uint32_t(y * 7) << 8 | uint32_t(x ^ y);
    return bitmap;
}

std::string ReadAll(const ScopedTempDir& dir, const char* name) { return dir.ReadFile(name); }

}  // namespace

// --- Blending ------------------------------------------------------------

// Source-over blending of one pixel, as ARGB words.
TEST(CascadeBitmapBlendTest, SourceOverUsesBothAlphas) {
    struct Case {
        CascadeColor under, over;
        uint32_t result;
    } const cases[] = {
        {kBlue, CascadeColor(255, 0, 0, 128), 0xFF80007Fu},       // half red over blue mixes evenly
        {kBlue, CascadeColor(12, 34, 56), 0xFF0C2238u},           // opaque is stored exactly
        {kBlue, CascadeColor(255, 255, 255, 0), 0xFF0000FFu},     // transparent changes nothing
        {CascadeColor(0u), CascadeColor(10, 20, 30, 100), 0x640A141Eu},  // over transparent: the source
        // alpha 128 + 128 * 127 / 255 = 192; red weighs twice as much as blue.
        {CascadeColor(0, 0, 255, 128), CascadeColor(255, 0, 0, 128), 0xC0AA0055u},
    };
    for (const Case& c : cases) {
        CascadeBitmap filled, set;
        ASSERT_TRUE(filled.Create({4, 4}));
        ASSERT_TRUE(set.Create({4, 4}));
        filled.Clear(c.under);
        set.Clear(c.under);
        filled.FillRect({1, 1, 2, 2}, c.over);
        set.SetPixel(1, 1, c.over);
        EXPECT_EQ(filled.GetPixel(2, 2), c.result) << std::hex << c.result;
        EXPECT_EQ(set.GetPixel(1, 1), c.result) << std::hex << c.result;
        EXPECT_EQ(filled.GetPixel(0, 0), set.GetPixel(3, 3));  // outside stays the background
    }
}

// --- Clipping ------------------------------------------------------------

TEST(CascadeBitmapClipTest, FillPartlyOutsideTouchesOnlyStorage) {
    CascadeBitmap bitmap = MakeBitmap(8, 8);
    bitmap.FillRect({-5, -5, 8, 8}, kRed);
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 9);
    EXPECT_EQ(bitmap.GetPixel(2, 2), 0xFFFF0000u);
    EXPECT_EQ(bitmap.GetPixel(3, 3), 0xFF0000FFu);
    bitmap.FillRect({6, 6, 1000000, 1000000}, kRed);
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 13);
}

TEST(CascadeBitmapClipTest, FarAwayCoordinatesDrawNothing) {
    CascadeBitmap bitmap = MakeBitmap(8, 8);
    bitmap.FillRect({2147483000, 2147483000, 2000, 2000}, kRed);
    bitmap.FillRect({-2147483000, 0, 100, 8}, kRed);
    bitmap.SetPixel(-1, 0, kRed);
    bitmap.SetPixel(8, 0, kRed);
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 0);
    EXPECT_EQ(bitmap.GetPixel(-1, 0), 0u);
    EXPECT_EQ(bitmap.GetPixel(0, 8), 0u);
}

TEST(CascadeBitmapClipTest, EmptyBitmapIgnoresDrawing) {
    CascadeBitmap bitmap;
    bitmap.FillRect({0, 0, 10, 10}, kRed);
    bitmap.DrawLine({0, 0}, {5, 5}, kRed);
    bitmap.Clear(kRed);
    EXPECT_FALSE(bitmap.IsValid());
    EXPECT_EQ(bitmap.GetPixel(0, 0), 0u);
    EXPECT_FALSE(bitmap.Create({0, 5}));
    EXPECT_FALSE(bitmap.Create({16385, 1}));
}

// --- Views ---------------------------------------------------------------

TEST(CascadeBitmapViewTest, ViewTranslatesByItsOrigin) {
    CascadeBitmap bitmap = MakeBitmap(40, 40);
    CascadeBitmap view = bitmap.View({10, 10}, {10, 10, 20, 20});
    EXPECT_EQ(view.GetClip(), CascadeRect(0, 0, 20, 20));
    view.FillRect({0, 0, 2, 2}, kRed);
    EXPECT_EQ(bitmap.GetPixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(bitmap.GetPixel(9, 9), 0xFF0000FFu);
    EXPECT_EQ(view.GetPixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 4);
}

TEST(CascadeBitmapViewTest, ViewDrawsOnlyInsideItsClip) {
    CascadeBitmap bitmap = MakeBitmap(40, 40);
    CascadeBitmap view = bitmap.View({10, 10}, {12, 12, 5, 5});
    view.FillRect({-100, -100, 300, 300}, kRed);
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 25);
    EXPECT_EQ(bitmap.GetPixel(12, 12), 0xFFFF0000u);
    EXPECT_EQ(bitmap.GetPixel(16, 16), 0xFFFF0000u);
    EXPECT_EQ(bitmap.GetPixel(17, 17), 0xFF0000FFu);
    view.Clear(kWhite);
    EXPECT_EQ(bitmap.GetPixel(12, 12), 0xFFFFFFFFu);
    EXPECT_EQ(bitmap.GetPixel(11, 12), 0xFF0000FFu);
}

TEST(CascadeBitmapViewTest, NestedViewNarrowsTheClip) {
    CascadeBitmap bitmap = MakeBitmap(40, 40);
    CascadeBitmap outer = bitmap.View({10, 10}, {10, 10, 10, 10});
    // The clip is given in the outer view's coordinates.
    CascadeBitmap inner = outer.View({5, 5}, {5, 5, 100, 100});
    EXPECT_EQ(inner.GetOrigin(), CascadePoint(15, 15));
    EXPECT_EQ(inner.GetClip(), CascadeRect(0, 0, 5, 5));
    inner.FillRect({-3, -3, 50, 50}, kRed);
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 25);
    EXPECT_EQ(bitmap.GetPixel(15, 15), 0xFFFF0000u);
    EXPECT_EQ(bitmap.GetPixel(19, 19), 0xFFFF0000u);
    EXPECT_EQ(bitmap.GetPixel(20, 20), 0xFF0000FFu);
}

TEST(CascadeBitmapViewTest, ViewOutsideTheParentClipIsEmpty) {
    CascadeBitmap bitmap = MakeBitmap(20, 20);
    CascadeBitmap view = bitmap.View({0, 0}, {30, 30, 10, 10});
    EXPECT_TRUE(view.GetClip().IsEmpty());
    view.Clear(kRed);
    view.FillRect({0, 0, 100, 100}, kRed);
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 0);
}

// --- Frames and lines ----------------------------------------------------

// Thickness goes inward; a frame thicker than half fills, 0 draws nothing;
// a translucent frame blends its corners once.
TEST(CascadeBitmapFrameTest, ThicknessGoesInward) {
    CascadeBitmap bitmap = MakeBitmap(20, 20);
    bitmap.FrameRect({5, 5, 10, 10}, kRed, 2);
    EXPECT_EQ(bitmap.GetPixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(bitmap.GetPixel(6, 6), 0xFFFF0000u);
    EXPECT_EQ(bitmap.GetPixel(7, 7), 0xFF0000FFu);
    EXPECT_EQ(bitmap.GetPixel(13, 13), 0xFFFF0000u);
    EXPECT_EQ(bitmap.GetPixel(12, 12), 0xFF0000FFu);
    EXPECT_EQ(bitmap.GetPixel(4, 4), 0xFF0000FFu);
    EXPECT_EQ(bitmap.GetPixel(15, 15), 0xFF0000FFu);
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 100 - 36);
    CascadeBitmap filled = MakeBitmap(20, 20);
    filled.FrameRect({0, 0, 6, 6}, kRed, 0);
    EXPECT_EQ(CountNot(filled, 0xFF0000FFu), 0);
    filled.FrameRect({0, 0, 6, 6}, kRed, 3);
    EXPECT_EQ(CountNot(filled, 0xFF0000FFu), 36);
    CascadeBitmap translucent = MakeBitmap(20, 20);
    translucent.FrameRect({0, 0, 10, 10}, CascadeColor(255, 0, 0, 128), 3);
    EXPECT_EQ(translucent.GetPixel(0, 0), translucent.GetPixel(5, 0));
    EXPECT_EQ(translucent.GetPixel(2, 2), translucent.GetPixel(0, 5));
}

// Both end points belong to the line, in any direction; a line of one
// point is one pixel.
TEST(CascadeBitmapLineTest, IncludesBothEndPoints) {
    const struct {
        CascadePoint from, to;
        int pixels;
    } cases[] = {{{2, 3}, {12, 7}, 11}, {{9, 15}, {7, 1}, 15}, {{2, 2}, {2, 2}, 1}};
    for (const auto& c : cases) {
        CascadeBitmap bitmap = MakeBitmap(20, 20);
        bitmap.DrawLine(c.from, c.to, kRed);
        EXPECT_EQ(bitmap.GetPixel(c.from.x, c.from.y), 0xFFFF0000u);
        EXPECT_EQ(bitmap.GetPixel(c.to.x, c.to.y), 0xFFFF0000u);
        EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), c.pixels) << c.pixels;
    }
}

TEST(CascadeBitmapLineTest, TranslucentLineBlendsEachPixelOnce) {
    CascadeBitmap bitmap = MakeBitmap(20, 20);
    bitmap.DrawLine({0, 0}, {19, 13}, CascadeColor(255, 0, 0, 128));
    const CascadeDims dims = bitmap.GetStorageDims();
    for (int i = 0; i < dims.w * dims.h; ++i) {
        const uint32_t p = bitmap.GetPixels()[i];
        EXPECT_TRUE(p == 0xFF0000FFu || p == 0xFF80007Fu) << std::hex << p;
    }
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 20);
}

TEST(CascadeBitmapLineTest, HugeLineIsClippedWithoutWalkingItAll) {
    CascadeBitmap bitmap = MakeBitmap(20, 20);
    CascadeBitmap view = bitmap.View({0, 0}, {0, 0, 10, 20});
    view.DrawLine({-2000000000, 5}, {2000000000, 5}, kRed);
    EXPECT_EQ(CountNot(bitmap, 0xFF0000FFu), 10);
    EXPECT_EQ(bitmap.GetPixel(9, 5), 0xFFFF0000u);
    view.DrawLine({-2000000000, -2000000000}, {2000000000, 2000000000}, kRed);
    EXPECT_EQ(bitmap.GetPixel(3, 3), 0xFFFF0000u);
}

// --- Blits ---------------------------------------------------------------

TEST(CascadeBitmapBlitTest, DrawBitmapBlendsAndCopyFromReplaces) {
    CascadeBitmap source;
    ASSERT_TRUE(source.Create({2, 1}));
    source.GetPixels()[0] = 0x80FF0000u;  // half red
    source.GetPixels()[1] = 0x00FFFFFFu;  // transparent white
    CascadeBitmap blended = MakeBitmap(4, 4);
    blended.DrawBitmap(source, {1, 1});
    EXPECT_EQ(blended.GetPixel(1, 1), 0xFF80007Fu);
    EXPECT_EQ(blended.GetPixel(2, 1), 0xFF0000FFu);
    CascadeBitmap copied = MakeBitmap(4, 4);
    copied.CopyFrom(source, {1, 1});
    EXPECT_EQ(copied.GetPixel(1, 1), 0x80FF0000u);
    EXPECT_EQ(copied.GetPixel(2, 1), 0x00FFFFFFu);
}

TEST(CascadeBitmapBlitTest, SourceRectAndNegativePlacementAreClipped) {
    CascadeBitmap source = MakePattern(10, 10);
    CascadeBitmap target = MakeBitmap(6, 6);
    // Source part (2,2)-(9,9) placed at (-3,-3): storage (0,0) gets source (5,5).
    target.CopyFrom(source, {-3, -3}, {2, 2, 20, 20});
    EXPECT_EQ(target.GetPixel(0, 0), source.GetPixel(5, 5));
    EXPECT_EQ(target.GetPixel(4, 4), source.GetPixel(9, 9));
    EXPECT_EQ(target.GetPixel(5, 5), 0xFF0000FFu);
    // A source part starting before the source's edge keeps its placement.
    CascadeBitmap second = MakeBitmap(6, 6);
    second.CopyFrom(source, {0, 0}, {-2, -2, 4, 4});
    EXPECT_EQ(second.GetPixel(2, 2), source.GetPixel(0, 0));
    EXPECT_EQ(second.GetPixel(1, 1), 0xFF0000FFu);
}

TEST(CascadeBitmapBlitTest, SourceViewOnlyGivesItsClip) {
    CascadeBitmap source = MakePattern(10, 10);
    CascadeBitmap part = source.View({4, 4}, {4, 4, 2, 2});
    CascadeBitmap target = MakeBitmap(6, 6);
    target.CopyFrom(part, {1, 1});
    EXPECT_EQ(target.GetPixel(1, 1), source.GetPixel(4, 4));
    EXPECT_EQ(target.GetPixel(2, 2), source.GetPixel(5, 5));
    EXPECT_EQ(CountNot(target, 0xFF0000FFu), 4);
}

TEST(CascadeBitmapBlitTest, OverlappingCopyWithinOneBitmapScrolls) {
    CascadeBitmap bitmap = MakePattern(8, 8);
    const std::vector<uint32_t> before(bitmap.GetPixels(), bitmap.GetPixels() + 64);
    bitmap.CopyFrom(bitmap, {1, 2}, {0, 0, 7, 6});
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(bitmap.GetPixel(x + 1, y + 2), before[std::size_t(y * 8 + x)]) << x << "," << y;
}

TEST(CascadeBitmapBlitTest, BufferCopyReadsRgbBytesAndWords) {
    CascadeBitmap target = MakeBitmap(4, 4);
    const uint8_t rgb[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 2x2
    EXPECT_TRUE(target.CopyFromBuffer(rgb, {2, 2}, 24, {1, 1}));
    EXPECT_EQ(target.GetPixel(1, 1), 0xFF010203u);
    EXPECT_EQ(target.GetPixel(2, 2), 0xFF0A0B0Cu);
    const uint32_t words[] = {0x11223344u, 0x55667788u, 0x99AABBCCu, 0xDDEEFF00u};
    EXPECT_TRUE(target.CopyFromBuffer(reinterpret_cast<const uint8_t*>(words), {2, 2}, 32, {-1, 0}, {0, 0, 2, 2}));
    EXPECT_EQ(target.GetPixel(0, 0), 0x55667788u);
    EXPECT_EQ(target.GetPixel(0, 1), 0xDDEEFF00u);
    EXPECT_FALSE(target.CopyFromBuffer(rgb, {2, 2}, 16, {0, 0}));
    EXPECT_FALSE(target.CopyFromBuffer(nullptr, {2, 2}, 32, {0, 0}));
}

// A scaled picture fills its target rectangle, clipped to the bitmap; a
// transparent one leaves the target alone.
TEST(CascadeBitmapBlitTest, ScaledDrawFillsTargetAndStaysClipped) {
    CascadeBitmap source;
    ASSERT_TRUE(source.Create({2, 1}));
    source.GetPixels()[0] = 0xFFFF0000u;
    source.GetPixels()[1] = 0xFF0000FFu;
    CascadeBitmap target = MakeBitmap(20, 10, CascadeColor(0, 0, 0));
    target.DrawBitmapScaled(source, {-2, 2, 24, 4});
    EXPECT_EQ(target.GetPixel(0, 2), 0xFFFF0000u);
    EXPECT_EQ(target.GetPixel(19, 5), 0xFF0000FFu);
    EXPECT_EQ(target.GetPixel(0, 1), 0xFF000000u);
    EXPECT_EQ(target.GetPixel(0, 6), 0xFF000000u);
    const uint32_t middle = target.GetPixel(10, 3);
    EXPECT_GT((middle >> 16) & 0xFF, 0x40u);
    EXPECT_GT(middle & 0xFF, 0x40u);
    CascadeBitmap transparent;
    ASSERT_TRUE(transparent.Create({3, 3}));
    CascadeBitmap untouched = MakeBitmap(10, 10);
    untouched.DrawBitmapScaled(transparent, {0, 0, 10, 10});
    EXPECT_EQ(CountNot(untouched, 0xFF0000FFu), 0);
}

// --- Files ---------------------------------------------------------------

TEST(CascadeBitmapFileTest, PngRoundTripKeepsEveryPixel) {
    ScopedTempDir dir("gfx-png");
    CascadeBitmap original = MakePattern(13, 7);
    ASSERT_TRUE(original.SaveAsPNG(dir.File("pattern.png")));
    CascadeBitmap loaded;
    ASSERT_TRUE(loaded.LoadFromFile(dir.File("pattern.png")));
    ASSERT_EQ(loaded.GetDims(), CascadeDims(13, 7));
    for (int i = 0; i < 13 * 7; ++i) ASSERT_EQ(loaded.GetPixels()[i], original.GetPixels()[i]) << i;
}

TEST(CascadeBitmapFileTest, TruncatedPngFailsAndLeavesBitmap) {
    ScopedTempDir dir("gfx-png");
    CascadeBitmap original = MakePattern(64, 64);
    ASSERT_TRUE(original.SaveAsPNG(dir.File("big.png")));
    const std::string bytes = ReadAll(dir, "big.png");
    ASSERT_GT(bytes.size(), 100u);
    CascadeBitmap bitmap = MakeBitmap(3, 3, kRed);
    for (std::size_t cut : {bytes.size() / 2, std::size_t(40), std::size_t(9), bytes.size() - 13}) {
        EXPECT_FALSE(bitmap.LoadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), cut)) << cut;
        EXPECT_EQ(bitmap.GetDims(), CascadeDims(3, 3));
        EXPECT_EQ(bitmap.GetPixel(1, 1), 0xFFFF0000u);
    }
}

TEST(CascadeBitmapFileTest, JpegLoadsByContentAndTruncatedJpegFails) {
    ScopedTempDir dir("gfx-jpeg");
    CascadeBitmap red = MakeBitmap(32, 16, kRed);
    ASSERT_TRUE(red.SaveAsJPEG(dir.File("red.png"), 95));  // the name lies; the content decides
    CascadeBitmap loaded;
    ASSERT_TRUE(loaded.LoadFromFile(dir.File("red.png")));
    ASSERT_EQ(loaded.GetDims(), CascadeDims(32, 16));
    const uint32_t p = loaded.GetPixel(10, 8);
    EXPECT_GT((p >> 16) & 0xFF, 0xE0u);
    EXPECT_LT((p >> 8) & 0xFF, 0x20u);
    EXPECT_EQ(p >> 24, 0xFFu);

    const std::string bytes = ReadAll(dir, "red.png");
    CascadeBitmap bitmap = MakeBitmap(3, 3, kWhite);
    EXPECT_FALSE(bitmap.LoadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() * 2 / 3));
    EXPECT_EQ(bitmap.GetDims(), CascadeDims(3, 3));
    EXPECT_EQ(bitmap.GetPixel(0, 0), 0xFFFFFFFFu);
}

TEST(CascadeBitmapFileTest, MissingOrForeignFilesFail) {
    ScopedTempDir dir("gfx-files");
    ASSERT_TRUE(dir.WriteFile("text.png", "this is not a picture at all"));
    CascadeBitmap bitmap = MakeBitmap(2, 2);
    EXPECT_FALSE(bitmap.LoadFromFile(dir.File("text.png")));
    EXPECT_FALSE(bitmap.LoadFromFile(dir.File("absent.png")));
    EXPECT_FALSE(bitmap.LoadFromMemory(nullptr, 0));
    EXPECT_EQ(bitmap.GetDims(), CascadeDims(2, 2));
    EXPECT_FALSE(bitmap.SaveAsPNG(dir.File("no/such/dir.png")));
}

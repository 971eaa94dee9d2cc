#include "ui/EUtilsDrawing.h"

#include "ui/SkinFixture.h"

#include "platform/CascadeFont.h"
#include "platform/CascadeTextFlags.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using LoadBitmapFromFileTest = SkinFixture;

// The first file when it loads, else the second; neither leaves the bitmap
// empty. The width tells which file was read.
TEST_F(LoadBitmapFromFileTest, FirstFileThatLoadsWins) {
    WritePng("a.png", 3, 2);
    WritePng("b.png", 5, 2);
    WriteText("junk.png", "\x89PNG but truncated");
    const struct {
        std::string first, second;
        int width;  // -1: nothing loaded
    } cases[] = {
        {Path("a.png"), Path("b.png"), 3},  {Path("none.png"), Path("b.png"), 5}, {Path("junk.png"), Path("b.png"), 5},
        {Path("x.png"), Path("y.png"), -1}, {"", "", -1},                         {m_dir, "", -1},  // a directory
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first + " " + c.second);
        CascadeBitmap bitmap;
        ASSERT_TRUE(bitmap.Create(CascadeDims(4, 4)));
        EXPECT_EQ(EUtils::LoadBitmapFromFile(bitmap, c.first.c_str(), c.second.empty() ? nullptr : c.second.c_str()),
                  c.width > 0);
        EXPECT_EQ(bitmap.IsValid() ? bitmap.GetDims().w : -1, c.width);
    }
}

// --- Gradients ---------------------------------------------------------------

CascadeBitmap Canvas(int w, int h) {
    CascadeBitmap b;
    EXPECT_TRUE(b.Create({w, h}));
    b.Clear(CascadeColor(0x11223344u));
    return b;
}

TEST(FillRectGradientTest, RowsStepFromTheFirstColourAndStopOneStepShort) {
    CascadeBitmap b = Canvas(4, 12);
    EUtils::FillRectGradient(b, {0, 1, 4, 10}, CascadeColor(0x000000FFu), CascadeColor(10, 10, 10, 255), EUtils::kDown);
    for (int row = 0; row < 10; ++row) {
        const CascadeColor c = CascadeColor::FromARGB(b.GetPixel(3, 1 + row));
        EXPECT_EQ(c, CascadeColor(uint8_t(row), uint8_t(row), uint8_t(row), 255)) << "row " << row;
    }
    // Outside the rectangle nothing changed.
    EXPECT_EQ(b.GetPixel(0, 0), CascadeColor(0x11223344u).ToARGB());
    EXPECT_EQ(b.GetPixel(0, 11), CascadeColor(0x11223344u).ToARGB());
}

TEST(FillRectGradientTest, FallingChannelsTruncateTowardZero) {
    CascadeBitmap b = Canvas(2, 3);
    // 200 -> 0 over 3 rows: 200, 133.33 -> 133, 66.67 -> 66.
    EUtils::FillRectGradient(b, {0, 0, 2, 3}, CascadeColor(200, 0, 0, 255), CascadeColor(0, 0, 0, 255), EUtils::kDown);
    EXPECT_EQ(CascadeColor::FromARGB(b.GetPixel(1, 0)).Red(), 200);
    EXPECT_EQ(CascadeColor::FromARGB(b.GetPixel(1, 1)).Red(), 133);
    EXPECT_EQ(CascadeColor::FromARGB(b.GetPixel(1, 2)).Red(), 66);
}

// The sideways directions step once per column, so a rectangle wider than
// it is high must still be painted inside itself only.
TEST(FillRectGradientTest, SidewaysDirectionsRunAcrossTheWidthInsideTheRectangle) {
    for (const unsigned direction : {EUtils::kRight, EUtils::kDownRight, EUtils::kLeft, EUtils::kUpLeft}) {
        CascadeBitmap b = Canvas(14, 8);
        EUtils::FillRectGradient(b, {1, 2, 10, 3}, CascadeColor(0x000000FFu), CascadeColor(10, 20, 30, 255), direction);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 14; ++x) {
                const bool inside = x >= 1 && x < 11 && y >= 2 && y < 5;
                const CascadeColor c = CascadeColor::FromARGB(b.GetPixel(x, y));
                if (!inside) {
                    EXPECT_EQ(c, CascadeColor(0x11223344u)) << "direction " << direction << " at " << x << "," << y;
                    continue;
                }
                const int step = x - 1;
                EXPECT_EQ(c, CascadeColor(uint8_t(step), uint8_t(2 * step), uint8_t(3 * step), 255))
                    << "direction " << direction << " at " << x << "," << y;
            }
    }
}

TEST(FillRectGradientTest, EmptyRectangleOrUnknownDirectionDrawsNothing) {
    CascadeBitmap b = Canvas(4, 4);
    const CascadeColor white(0xFFFFFFFFu);
    for (const auto& [rect, direction] : {std::pair{CascadeRect(0, 0, 0, 4), unsigned(EUtils::kDown)},
                                          std::pair{CascadeRect(0, 0, 4, 0), unsigned(EUtils::kDown)},
                                          std::pair{CascadeRect(0, 0, 4, 4), 8u}})
        EUtils::FillRectGradient(b, rect, white, white, direction);
    EXPECT_EQ(b.GetPixel(1, 1), CascadeColor(0x11223344u).ToARGB());
}

// --- Shadowed text -------------------------------------------------------------

// The shadows are compared with plain DrawText calls at the expected offsets:
// the text itself is transparent, so only the shadow steps leave pixels.
class ShadowedDrawTextTest : public ::testing::Test {
protected:
    static constexpr unsigned long kFlags = CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kCenterVertical;
    std::vector<uint32_t> Pixels(CascadeBitmap& b) {
        std::vector<uint32_t> out;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 80; ++x) out.push_back(b.GetPixel(x, y));
        return out;
    }
    CascadeBitmap Expected(std::initializer_list<CascadePoint> offsets) {
        CascadeBitmap b = Canvas(80, 40);
        for (const CascadePoint& o : offsets) b.DrawText(m_font, m_rect.Offset(o.x, o.y), "Wy", m_shadow, kFlags);
        return b;
    }
    CascadeFont m_font{"system", CascadeFont::kBold, 24};
    CascadeRect m_rect{10, 5, 60, 30};
    CascadeColor m_shadow{0x0000FFFFu};
    CascadeColor m_invisible{0xFF000000u};
};

// Depth, direction and steps: where the shadows land. Directions past the
// known ones act as down-right.
TEST_F(ShadowedDrawTextTest, ShadowsLandAtEveryStepOfTheirDirection) {
    const struct {
        int depth;
        unsigned direction;
        EUtils::ShadowSteps steps;
        std::initializer_list<CascadePoint> offsets;
    } cases[] = {
        {2, EUtils::kDownRight, EUtils::ShadowSteps::kFarthestOnly, {{2, 2}}},
        {2, EUtils::kDownRight, EUtils::ShadowSteps::kAll, {{2, 2}, {1, 1}}},
        {1, EUtils::kUpLeft, EUtils::ShadowSteps::kAll, {{-1, -1}}},
        {1, 11, EUtils::ShadowSteps::kAll, {{1, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.direction) + " depth " + std::to_string(c.depth));
        CascadeBitmap b = Canvas(80, 40);
        EUtils::ShadowedDrawText(b, m_font, m_rect, "Wy", m_invisible, kFlags, c.depth, m_shadow, c.direction, c.steps);
        CascadeBitmap expected = Expected(c.offsets);
        EXPECT_EQ(Pixels(b), Pixels(expected));
    }
}

TEST_F(ShadowedDrawTextTest, TextIsDrawnLastOverItsShadowAndNullTextDrawsNothing) {
    CascadeBitmap b = Canvas(80, 40);
    EUtils::ShadowedDrawText(b, CascadeFont("system", CascadeFont::kBold, 30), {0, 0, 80, 40}, "\u2588",
                             CascadeColor(0xFF0000FFu), kFlags, 2, m_shadow, EUtils::kDownRight,
                             EUtils::ShadowSteps::kAll);
    EXPECT_EQ(b.GetPixel(40, 20), CascadeColor(0xFF0000FFu).ToARGB());
    CascadeBitmap empty = Canvas(80, 40);
    EUtils::ShadowedDrawText(empty, m_font, m_rect, nullptr, m_shadow, kFlags, 2, m_shadow, EUtils::kDownRight,
                             EUtils::ShadowSteps::kAll);
    CascadeBitmap untouched = Canvas(80, 40);
    EXPECT_EQ(Pixels(empty), Pixels(untouched));
}

// --- Buffer blits ----------------------------------------------------------------

std::vector<uint32_t> Numbered(int w, int h) {
    std::vector<uint32_t> words(std::size_t(w * h));
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = 0xFF000000u | uint32_t(i);
    return words;
}

// An all-zero source rectangle copies the whole buffer; another copies only
// its part.
TEST(BufferBlitTest, CopiesTheSourceRectangleToThePoint) {
    const std::vector<uint32_t> words = Numbered(4, 4);
    CascadeBitmap b = Canvas(6, 6);
    ASSERT_TRUE(EUtils::BufferBlit(b, {2, 2}, reinterpret_cast<const uint8_t*>(words.data()), {4, 2}, 32, {}));
    EXPECT_EQ(b.GetPixel(2, 2), 0xFF000000u);
    EXPECT_EQ(b.GetPixel(5, 3), 0xFF000007u);
    EXPECT_EQ(b.GetPixel(2, 4), CascadeColor(0x11223344u).ToARGB());
    ASSERT_TRUE(EUtils::BufferBlit(b, {0, 0}, reinterpret_cast<const uint8_t*>(words.data()), {4, 4}, 32,
                                   {1, 2, 2, 1}));
    EXPECT_EQ(b.GetPixel(0, 0), 0xFF000009u);
    EXPECT_EQ(b.GetPixel(1, 0), 0xFF00000Au);
    EXPECT_EQ(b.GetPixel(0, 1), CascadeColor(0x11223344u).ToARGB());
}

TEST(BufferBlitTest, BadArgumentsAreRefusedAndLeaveTheTarget) {
    const std::vector<uint32_t> words = Numbered(2, 2);
    const auto* bytes = reinterpret_cast<const uint8_t*>(words.data());
    CascadeBitmap b = Canvas(4, 4);
    EXPECT_FALSE(EUtils::BufferBlit(b, {0, 0}, nullptr, {2, 2}, 32, {}));
    EXPECT_FALSE(EUtils::BufferBlit(b, {0, 0}, bytes, {0, 2}, 32, {}));
    EXPECT_FALSE(EUtils::BufferBlit(b, {0, 0}, bytes, {2, 2}, 16, {}));
    EXPECT_FALSE(EUtils::BufferBlit(b, {0, 0}, bytes, {2, 2}, 32, {1, 1, 2, 2}));  // reaches past the buffer
    EXPECT_EQ(b.GetPixel(0, 0), CascadeColor(0x11223344u).ToARGB());
    // A target partly off the bitmap is cut, not overrun.
    EXPECT_TRUE(EUtils::BufferBlit(b, {3, 3}, bytes, {2, 2}, 32, {}));
    EXPECT_EQ(b.GetPixel(3, 3), 0xFF000000u);
}

}  // namespace

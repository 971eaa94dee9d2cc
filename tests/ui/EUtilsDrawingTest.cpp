#include "ui/EUtilsDrawing.h"

#include "platform/CascadeFont.h"
#include "platform/CascadeTextFlags.h"

#include <gtest/gtest.h>

#include "support/Pixels.h"

#include <vector>

namespace {

constexpr CascadeColor kCanvas(0x11223344u);

CascadeBitmap Canvas(int w, int h) {
    return FilledBitmap({w, h}, kCanvas);
}

// Downwards the rows step from the first colour and stop one step short of
// the second, rounding towards zero. The sideways directions (2, 3, 6, 7)
// step once per column, and a rectangle wider than it is high is painted
// inside itself only.
TEST(FillRectGradient, RowsOrColumnsStepFromTheFirstColourInsideTheRectangle) {
    CascadeBitmap down = Canvas(4, 12);
    EUtils::FillRectGradient(down, {0, 1, 4, 10}, CascadeColor(200, 0, 0, 255), CascadeColor(0, 15, 20, 255),
                             EUtils::kDown);
    for (int row = 0; row < 10; ++row)  // green steps by 1.5
        EXPECT_EQ(CascadeColor(uint8_t(200 - 20 * row), uint8_t(3 * row / 2), uint8_t(2 * row), 255),
                  CascadeColor::FromARGB(down.GetPixel(3, 1 + row)))
            << "row " << row;
    for (const unsigned direction : {EUtils::kRight, EUtils::kDownRight, EUtils::kLeft, EUtils::kUpLeft}) {
        CascadeBitmap b = Canvas(14, 8);
        EUtils::FillRectGradient(b, {1, 2, 10, 3}, CascadeColor(0x000000FFu), CascadeColor(10, 20, 30, 255), direction);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 14; ++x) {
                const int step = x - 1;
                const bool inside = x >= 1 && x < 11 && y >= 2 && y < 5;
                EXPECT_EQ(inside ? CascadeColor(uint8_t(step), uint8_t(2 * step), uint8_t(3 * step), 255) : kCanvas,
                          CascadeColor::FromARGB(b.GetPixel(x, y)))
                    << "direction " << direction << " at " << x << "," << y;
            }
    }
}

// The shadows are compared with plain DrawText calls at the expected offsets:
// the text itself is transparent, so only the shadow steps leave pixels.
// Directions past the known ones act as down-right.
TEST(ShadowedDrawText, ShadowsLandAtEveryStepOfTheirDirection) {
    constexpr unsigned long kFlags = CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kCenterVertical;
    const CascadeFont font("system", CascadeFont::kBold, 24);
    const CascadeRect rect(10, 5, 60, 30);
    const CascadeColor shadow(0x0000FFFFu);
    const struct {
        int depth;
        unsigned direction;
        EUtils::ShadowSteps steps;
        std::vector<CascadePoint> offsets;
    } cases[] = {{2, EUtils::kDownRight, EUtils::ShadowSteps::kFarthestOnly, {{2, 2}}},
                 {2, EUtils::kDownRight, EUtils::ShadowSteps::kAll, {{2, 2}, {1, 1}}},
                 {1, EUtils::kUpLeft, EUtils::ShadowSteps::kAll, {{-1, -1}}},
                 {1, 11, EUtils::ShadowSteps::kAll, {{1, 1}}}};
    for (const auto& c : cases) {
        CascadeBitmap b = Canvas(80, 40), expected = Canvas(80, 40);
        EUtils::ShadowedDrawText(b, font, rect, "Wy", CascadeColor(0xFF000000u), kFlags, c.depth, shadow, c.direction,
                                 c.steps);
        for (const CascadePoint& o : c.offsets) expected.DrawText(font, rect.Offset(o.x, o.y), "Wy", shadow, kFlags);
        EXPECT_EQ(PixelWords(expected), PixelWords(b)) << c.direction << " depth " << c.depth;
    }
    // The text is drawn last, over its shadow.
    CascadeBitmap b = Canvas(80, 40);
    EUtils::ShadowedDrawText(b, CascadeFont("system", CascadeFont::kBold, 30), {0, 0, 80, 40}, "\u2588",
                             CascadeColor(0xFF0000FFu), kFlags, 2, shadow, EUtils::kDownRight,
                             EUtils::ShadowSteps::kAll);
    EXPECT_EQ(CascadeColor(0xFF0000FFu).ToARGB(), b.GetPixel(40, 20));
}

}  // namespace

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeTextFlags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace CascadeTextFlags;

constexpr uint32_t kBackground = 0xFF000000u;
constexpr CascadeColor kWhite(255, 255, 255);

// The smallest rectangle holding every pixel that is not the background.
CascadeRect InkBox(const CascadeBitmap& bitmap) {
    const CascadeDims dims = bitmap.GetStorageDims();
    CascadeRect box;
    for (int y = 0; y < dims.h; ++y)
        for (int x = 0; x < dims.w; ++x)
            if (bitmap.GetPixels()[y * dims.w + x] != kBackground) box = box.MakeUnionRect({x, y, 1, 1});
    return box;
}

class CascadeFontTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_bitmap.Create({400, 200})); }
    // Draws on a cleared bitmap; the ink's box.
    CascadeRect Draw(const CascadeRect& rect, std::string_view text, unsigned long flags) {
        m_bitmap.Clear(CascadeColor(0, 0, 0));
        m_used = m_bitmap.DrawText(m_font, rect, text, kWhite, flags);
        return InkBox(m_bitmap);
    }

    CascadeFont m_font{"system", CascadeFont::kNormal, 20};
    CascadeBitmap m_bitmap;
    int m_used = 0;
};

}  // namespace

// Each malformed sequence draws and measures as U+FFFD would, never cut off.
TEST_F(CascadeFontTest, EveryMalformedSequenceIsDrawnAsTheReplacementCharacter) {
    struct Case {
        const char* broken;
        const char* sameAs;  // the text with each fault replaced by U+FFFD
    } const cases[] = {
        {"a\xffz", "a\xef\xbf\xbdz"},                // byte that never leads
        {"a\x80z", "a\xef\xbf\xbdz"},                // stray continuation
        {"\xe9t\xe9", "\xef\xbf\xbdt\xef\xbf\xbd"},  // ISO-8859-1 text
        {"ab\xe2\x82", "ab\xef\xbf\xbd"},            // cut off at the end
        {"\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},    // overlong form
        {"\xc3\xa9\xc3", "\xc3\xa9\xef\xbf\xbd"},    // a whole character before a cut-off one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sameAs);
        Draw({0, 0, 200, 40}, c.sameAs, 0);
        const std::vector<uint32_t> clean(m_bitmap.GetPixels(), m_bitmap.GetPixels() + 400 * 200);
        EXPECT_FALSE(Draw({0, 0, 200, 40}, c.broken, 0).IsEmpty());
        EXPECT_EQ(m_used, m_font.GetLineHeight());
        EXPECT_TRUE(std::equal(clean.begin(), clean.end(), m_bitmap.GetPixels()));
        EXPECT_EQ(m_font.GetTextExtent(c.broken).w, m_font.GetTextExtent(c.sameAs).w);
    }
    EXPECT_GT(m_font.GetTextExtent("\xef\xbf\xbd").w, 0);
}

TEST_F(CascadeFontTest, AlignmentFlagsPlaceTheInkInTheRect) {
    const CascadeRect rect(50, 30, 300, 100);
    const CascadeRect leftTop = Draw(rect, "Hello", 0);
    EXPECT_NEAR(leftTop.x, 50, 3);
    EXPECT_GE(leftTop.y, 30);
    EXPECT_LE(leftTop.Bottom(), 30 + m_font.GetLineHeight());
    EXPECT_EQ(m_used, m_font.GetLineHeight());
    const CascadeRect right = Draw(rect, "Hello", kAlignRight);
    EXPECT_NEAR(right.Right(), 348.5, 1.5);
    const CascadeRect centred = Draw(rect, "HHH", kCenterVertical | kCenterHorizontal);
    EXPECT_NEAR(centred.x + centred.w / 2.0, 200.0, 2.0);
    // Capitals sit above the baseline: their ink centre is a little above the line box's.
    EXPECT_NEAR(centred.y + centred.h / 2.0, 80.0, 4.0);
    const CascadeRect bottom = Draw(rect, "HHH", kAlignBottom);
    EXPECT_LE(bottom.Bottom(), 130);
    EXPECT_GE(bottom.Bottom(), 130 - m_font.GetLineHeight() + m_font.GetAscent() - 1);
}

TEST_F(CascadeFontTest, EllipsisKeepsTheInkInside) {
    const std::string text = "A title far too long to fit in this narrow space";
    EXPECT_GT(Draw({20, 20, 150, 30}, text, 0).Right(), 170);  // without it the text runs on
    for (unsigned long align : {0ul, kAlignRight}) {
        const CascadeRect ink = Draw({20, 20, 150, 30}, text, kEllipsis | align);
        EXPECT_GE(ink.x, 20);
        EXPECT_LE(ink.Right(), 170);
        EXPECT_GT(ink.Right(), 150);  // the cut text still fills the line
    }
    EXPECT_EQ(Draw({20, 20, 300, 30}, "Short", kEllipsis), Draw({20, 20, 300, 30}, "Short", 0));
}

// Wrapped text takes several lines, only as many as fit, breaks overlong
// words and keeps empty lines; unwrapped, a newline is a space.
TEST_F(CascadeFontTest, WordWrapUsesTheLinesThatFit) {
    const std::string text = "one two three four five six seven eight nine ten eleven twelve";
    const int line = m_font.GetLineHeight();
    const CascadeRect ink = Draw({10, 10, 150, 5 * line}, text, kWordWrap);
    EXPECT_GE(m_used, 3 * line);
    EXPECT_GT(ink.h, 2 * line);
    EXPECT_LE(ink.Right(), 160);
    EXPECT_LE(Draw({10, 10, 150, 2 * line + 3}, text, kWordWrap).Bottom(), 10 + 2 * line);
    EXPECT_EQ(m_used, 2 * line);
    EXPECT_LE(Draw({10, 10, 60, 10 * line}, "Supercalifragilistic", kWordWrap).Right(), 70);
    EXPECT_GE(m_used, 2 * line);
    Draw({10, 10, 300, 10 * line}, "a\nb\n\nc", kWordWrap);
    EXPECT_EQ(m_used, 4 * line);
    EXPECT_LE(Draw({10, 10, 380, 100}, "first\nsecond", 0).h, line);
    EXPECT_EQ(m_used, line);
}

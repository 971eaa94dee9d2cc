#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeTextFlags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace CascadeTextFlags;

constexpr uint32_t kBackground = 0xFF000000u;
constexpr CascadeColor kWhite(255, 255, 255);

// The smallest rectangle holding every pixel that is not the background.
CascadeRect InkBox(const CascadeBitmap& bitmap) {
    const CascadeDims dims = bitmap.GetStorageDims();
    int left = dims.w, top = dims.h, right = -1, bottom = -1;
    for (int y = 0; y < dims.h; ++y)
        for (int x = 0; x < dims.w; ++x)
            if (bitmap.GetPixels()[y * dims.w + x] != kBackground) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    if (right < 0) return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

class CascadeFontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_bitmap.Create({400, 200}));
        m_bitmap.Clear(CascadeColor(0, 0, 0));
    }
    CascadeRect Draw(const CascadeRect& rect, std::string_view text, unsigned long flags) {
        m_used = m_bitmap.DrawText(m_font, rect, text, kWhite, flags);
        return InkBox(m_bitmap);
    }

    CascadeFont m_font{"system", CascadeFont::kNormal, 20};
    CascadeBitmap m_bitmap;
    int m_used = 0;
};

}  // namespace

// --- Metrics -------------------------------------------------------------

TEST_F(CascadeFontTest, ExtentIsTheSumOfAdvances) {
    EXPECT_EQ(m_font.GetTextExtent("").w, 0);
    const int a = m_font.GetTextExtent("A").w, b = m_font.GetTextExtent("W").w;
    EXPECT_GT(a, 5);
    EXPECT_EQ(m_font.GetTextExtent("AW").w, a + b);
    EXPECT_EQ(m_font.GetTextExtent("AW").h, m_font.GetLineHeight());
    EXPECT_GE(m_font.GetLineHeight(), 20);
    EXPECT_LT(m_font.GetLineHeight(), 30);
    EXPECT_GT(m_font.GetAscent(), 12);
}

TEST_F(CascadeFontTest, BoldIsWiderAndSizeScales) {
    const CascadeFont bold("system", CascadeFont::kBold, 20);
    const CascadeFont big("system", CascadeFont::kNormal, 40);
    const std::string text = "Quendrel plays music";
    EXPECT_GT(bold.GetTextExtent(text).w, m_font.GetTextExtent(text).w);
    EXPECT_GT(big.GetTextExtent(text).w, m_font.GetTextExtent(text).w * 3 / 2);
}

TEST_F(CascadeFontTest, UnknownFamilyFallsBackToSystem) {
    const CascadeFont other("No Such Family Anywhere", CascadeFont::kNormal, 20);
    EXPECT_EQ(other.GetTextExtent("Hello").w, m_font.GetTextExtent("Hello").w);
}

TEST_F(CascadeFontTest, EveryMalformedSequenceIsDrawnAsTheReplacementCharacter) {
    const std::string replacement = "\xef\xbf\xbd";
    struct Case {
        const char* broken;
        const char* sameAs;  // the text with each fault replaced by U+FFFD
    } const cases[] = {
        {"a\xff" "b", "a\xef\xbf\xbd" "b"},          // byte that never leads
        {"a\x80" "b", "a\xef\xbf\xbd" "b"},          // stray continuation
        {"\xe9t\xe9", "\xef\xbf\xbdt\xef\xbf\xbd"},  // ISO-8859-1 text
        {"ab\xe2\x82", "ab\xef\xbf\xbd"},           // cut off at the end
        {"\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},  // overlong form
        {"\xc3\xa9\xc3", "\xc3\xa9\xef\xbf\xbd"},   // a whole character before a cut-off one
    };
    for (const Case& c : cases) {
        CascadeBitmap broken, clean;
        ASSERT_TRUE(broken.Create({200, 40}));
        ASSERT_TRUE(clean.Create({200, 40}));
        broken.Clear(CascadeColor(0, 0, 0));
        clean.Clear(CascadeColor(0, 0, 0));
        EXPECT_EQ(broken.DrawText(m_font, {0, 0, 200, 40}, c.broken, kWhite, 0), m_font.GetLineHeight());
        (void)clean.DrawText(m_font, {0, 0, 200, 40}, c.sameAs, kWhite, 0);
        EXPECT_FALSE(InkBox(broken).IsEmpty()) << c.sameAs;
        EXPECT_TRUE(std::equal(broken.GetPixels(), broken.GetPixels() + 200 * 40, clean.GetPixels())) << c.sameAs;
        EXPECT_EQ(m_font.GetTextExtent(c.broken).w, m_font.GetTextExtent(c.sameAs).w) << c.sameAs;
    }
    EXPECT_GT(m_font.GetTextExtent(replacement).w, 0);
}

TEST_F(CascadeFontTest, MeasuringFromManyThreadsAgrees) {
    const std::string text = "Concurrent cover loaders \xc3\xa9\xc3\xa8 measure text";
    std::vector<std::thread> threads;
    std::vector<int> widths(8, 0);
    for (int i = 0; i < 8; ++i) {
        // Threads i and i + 4 race to create the same face and its glyphs.
        threads.emplace_back([&widths, &text, i] {
            const CascadeFont font("system", CascadeFont::kBold, 31 + i % 4);
            widths[std::size_t(i)] = font.GetTextExtent(text).w;
        });
    }
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(widths[std::size_t(i)], widths[std::size_t(i + 4)]);
        EXPECT_EQ(widths[std::size_t(i)], CascadeFont("system", CascadeFont::kBold, 31 + i).GetTextExtent(text).w);
    }
}

// --- Placement -----------------------------------------------------------

TEST_F(CascadeFontTest, LeftTopIsTheDefault) {
    const CascadeRect ink = Draw({50, 30, 300, 100}, "Hello", 0);
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_NEAR(ink.x, 50, 3);
    EXPECT_GE(ink.y, 30);
    EXPECT_LE(ink.Bottom(), 30 + m_font.GetLineHeight());
    EXPECT_EQ(m_used, m_font.GetLineHeight());
}

TEST_F(CascadeFontTest, RightAlignEndsAtTheRightEdgeAndCentreSplitsTheSpace) {
    const CascadeRect right = Draw({50, 30, 300, 100}, "Hello", kAlignRight);
    EXPECT_LE(right.Right(), 350);
    EXPECT_GE(right.Right(), 347);
    m_bitmap.Clear(CascadeColor(0, 0, 0));
    const CascadeRect centred = Draw({50, 30, 300, 100}, "HHHH", kCenterHorizontal);
    EXPECT_NEAR(centred.x + centred.w / 2.0, 200.0, 2.0);
}

TEST_F(CascadeFontTest, VerticalCentreAndBottom) {
    const CascadeRect centred = Draw({50, 30, 300, 100}, "HHH", kCenterVertical | kCenterHorizontal);
    // Capitals sit above the baseline: their ink centre is a little above the line box's.
    EXPECT_NEAR(centred.y + centred.h / 2.0, 80.0, 4.0);
    m_bitmap.Clear(CascadeColor(0, 0, 0));
    const CascadeRect bottom = Draw({50, 30, 300, 100}, "HHH", kAlignBottom);
    EXPECT_LE(bottom.Bottom(), 130);
    EXPECT_GE(bottom.Bottom(), 130 - m_font.GetLineHeight() + m_font.GetAscent() - 1);
    EXPECT_GT(bottom.y, 90);
}

TEST_F(CascadeFontTest, TextStaysInsideTheViewClip) {
    CascadeBitmap view = m_bitmap.View({100, 50}, {100, 50, 30, 10});
    view.DrawText(m_font, {-20, -5, 200, 40}, "Clipped words", kWhite, 0);
    const CascadeRect ink = InkBox(m_bitmap);
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_TRUE(CascadeRect(100, 50, 30, 10).Contains(ink));
}

// --- Lines ---------------------------------------------------------------

TEST_F(CascadeFontTest, EllipsisKeepsInkInsideTheRect) {
    const std::string text = "A title far too long to fit in this narrow space";
    const CascadeRect ink = Draw({20, 20, 150, 30}, text, kEllipsis);
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_GE(ink.x, 20);
    EXPECT_LE(ink.Right(), 170);
    EXPECT_GT(ink.Right(), 150);  // the cut text still fills the line
    m_bitmap.Clear(CascadeColor(0, 0, 0));
    EXPECT_GT(Draw({20, 20, 150, 30}, text, 0).Right(), 170);  // without it the text runs on
}

TEST_F(CascadeFontTest, EllipsisRightAlignedAndShortTextUnchanged) {
    const CascadeRect ink = Draw({20, 20, 150, 30}, "Another line that is much too long", kEllipsis | kAlignRight);
    EXPECT_GE(ink.x, 20);
    EXPECT_LE(ink.Right(), 170);
    m_bitmap.Clear(CascadeColor(0, 0, 0));
    const CascadeRect plain = Draw({20, 20, 300, 30}, "Short", 0);
    m_bitmap.Clear(CascadeColor(0, 0, 0));
    EXPECT_EQ(Draw({20, 20, 300, 30}, "Short", kEllipsis), plain);
}

// Wrapped text takes several lines, and only as many as fit are drawn.
TEST_F(CascadeFontTest, WordWrapUsesSeveralLinesAndDrawsOnlyThoseThatFit) {
    const std::string text = "one two three four five six seven eight nine ten eleven twelve";
    const int lineHeight = m_font.GetLineHeight();
    const CascadeRect ink = Draw({10, 10, 150, 5 * lineHeight}, text, kWordWrap);
    EXPECT_GE(m_used, 3 * lineHeight);
    EXPECT_GT(ink.h, 2 * lineHeight);
    EXPECT_LE(ink.Right(), 160);
    m_bitmap.Clear(CascadeColor(0, 0, 0));
    const CascadeRect two = Draw({10, 10, 150, 2 * lineHeight + 3}, text, kWordWrap);
    EXPECT_EQ(m_used, 2 * lineHeight);
    EXPECT_LE(two.Bottom(), 10 + 2 * lineHeight);
}

TEST_F(CascadeFontTest, WordWrapBreaksOverlongWordsAndNewlines) {
    const int lineHeight = m_font.GetLineHeight();
    Draw({10, 10, 60, 10 * lineHeight}, "Supercalifragilistic", kWordWrap);
    EXPECT_GE(m_used, 2 * lineHeight);
    EXPECT_LE(InkBox(m_bitmap).Right(), 70);
    m_bitmap.Clear(CascadeColor(0, 0, 0));
    Draw({10, 10, 300, 10 * lineHeight}, "a\nb\n\nc", kWordWrap);
    EXPECT_EQ(m_used, 4 * lineHeight);
}

TEST_F(CascadeFontTest, WithoutWrapNewlinesAreSpaces) {
    Draw({10, 10, 380, 100}, "first\nsecond", 0);
    EXPECT_EQ(m_used, m_font.GetLineHeight());
    EXPECT_LE(InkBox(m_bitmap).h, m_font.GetLineHeight());
}

TEST_F(CascadeFontTest, TranslucentTextBlends) {
    m_bitmap.DrawText(m_font, {10, 10, 300, 40}, "I", CascadeColor(255, 255, 255, 128), 0);
    const CascadeRect ink = InkBox(m_bitmap);
    ASSERT_FALSE(ink.IsEmpty());
    uint32_t brightest = 0;
    for (int y = ink.y; y < ink.Bottom(); ++y)
        for (int x = ink.x; x < ink.Right(); ++x) brightest = std::max(brightest, m_bitmap.GetPixel(x, y) & 0xFF);
    EXPECT_NEAR(double(brightest), 128.0, 2.0);
}

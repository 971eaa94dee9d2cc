#include "platform/CascadeKeys.h"
#include "platform/CascadeString.h"
#include "platform/CascadeTokenArray.h"

#include <gtest/gtest.h>

namespace {

TEST(CascadeString, CompareOrdersAndFoldsAsciiCaseOnlyWhenAsked) {
    const CascadeString s("Quendrel ping");
    EXPECT_EQ(s.Compare("quendrel PING", CascadeCase::Insensitive), 0);
    EXPECT_NE(s.Compare("quendrel PING", CascadeCase::Sensitive), 0);
    EXPECT_LT(CascadeString("abc").Compare("abd"), 0);
    EXPECT_GT(CascadeString("abcd").Compare("abc"), 0);  // a longer text sorts after its prefix
    EXPECT_EQ(CascadeString("-debugx").Compare("-debug", CascadeCase::Insensitive, 6), 0);
    EXPECT_NE(CascadeString("-debugx").Compare("-debug", CascadeCase::Insensitive), 0);
    // Bytes above 127 compare unsigned and are never folded.
    EXPECT_GT(CascadeString("\xC3\xA9").Compare("z"), 0);
    EXPECT_NE(CascadeString("\xC3\x89").Compare("\xC3\xA9", CascadeCase::Insensitive), 0);
}

TEST(CascadeString, FormatGrowsPastAnyFixedBuffer) {
    CascadeString s;
    s.Format("%s-%d", std::string(5000, 'x').c_str(), 7);
    EXPECT_EQ(s.GetLength(), 5002u);
    EXPECT_TRUE(s.View().ends_with("-7"));
}

TEST(CascadeTokenArray, EverySeparatorEndsATokenSoJoiningRestoresTheText) {
    CascadeTokenArray t(" a  b ", " ");
    ASSERT_EQ(t.GetNumTokens(), 5u);
    EXPECT_EQ(t.TokenAt(0), "");
    EXPECT_EQ(t.TokenAt(1), "a");
    EXPECT_EQ(t.TokenAt(2), "");
    EXPECT_EQ(t.TokenAt(3), "b");
    EXPECT_EQ(t.TokenAt(4), "");
    EXPECT_EQ(t.TokenAt(5), "");  // past the end: empty, not a crash
    EXPECT_EQ(CascadeTokenArray("", " ").GetNumTokens(), 0u);
    EXPECT_EQ(CascadeTokenArray("abc", "").GetNumTokens(), 1u);
}

TEST(CascadeKeys, NamesAndCodesBothParse) {
    EXPECT_EQ(CascadeKeys::Parse("select"), CascadeKeys::kSelect);
    EXPECT_EQ(CascadeKeys::Parse("Zoom Out"), CascadeKeys::kZoomOut);
    EXPECT_EQ(CascadeKeys::Parse("0x10018"), CascadeKeys::kPlayPause);
    EXPECT_EQ(CascadeKeys::Parse("65547"), CascadeKeys::kSelect);
    EXPECT_EQ(CascadeKeys::Parse("9"), CascadeKeys::kDigit9);
    EXPECT_FALSE(CascadeKeys::Parse("1").has_value());
    EXPECT_FALSE(CascadeKeys::Parse("0x1000Bz").has_value());
    EXPECT_FALSE(CascadeKeys::Parse("").has_value());
}

}  // namespace

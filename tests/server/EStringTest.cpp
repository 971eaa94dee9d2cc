#include "server/EString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// --- Trim ---------------------------------------------------------------

TEST(EStringTrim, OnlyBlanksBecomesEmpty) {
    EXPECT_EQ(EString(" \t\r\n").Trim(), "");
}

TEST(EStringTrim, CutsBothEndsButKeepsInnerBlanks) {
    EXPECT_EQ(EString("\tab c \n").Trim(), "ab c");
}

TEST(EStringTrim, OtherControlBytesAndNonAsciiAreNotBlanks) {
    EXPECT_EQ(EString("\v x\f").Trim(), "\v x\f");
    EXPECT_EQ(EString(" Bj\xC3\xB6rk\xC2\xA0 ").Trim(), "Bj\xC3\xB6rk\xC2\xA0");
}

// --- Substring ------------------------------------------------------------

TEST(EStringSubstring, LengthZeroMeansToTheEnd) {
    EXPECT_EQ(EString("abcdef").Substring(3, 0), "def");
}

TEST(EStringSubstring, StartAtTheLengthGivesEmpty) {
    EXPECT_EQ(EString("abcdef").Substring(6, 2), "");
    EXPECT_EQ(EString("abcdef").Substring(~0UL, 0), "");
}

TEST(EStringSubstring, LengthBeyondTheTailIsCut) {
    EXPECT_EQ(EString("abc").Substring(1, 10), "bc");
    EXPECT_EQ(EString("abc").Substring(1, ~0UL), "bc");
}

// --- IndexOf --------------------------------------------------------------

TEST(EStringIndexOf, FindsEscapedColon) {
    EXPECT_EQ(EString("id%3A7").IndexOf("%3A", 0), 2);
}

TEST(EStringIndexOf, NeedleLongerThanTextIsMinusOne) {
    EXPECT_EQ(EString("ab").IndexOf("abc", 0), -1L);
}

TEST(EStringIndexOf, StartSkipsEarlierOccurrences) {
    EXPECT_EQ(EString("a/b/c").IndexOf("/", 2), 3);
    EXPECT_EQ(EString("a/b/c").IndexOf("/", 4), -1);
}

TEST(EStringIndexOf, MatchEndingAtTheLastByteIsFound) {
    EXPECT_EQ(EString("xx%20").IndexOf("%20", 0), 2);
}

TEST(EStringIndexOf, IsCaseSensitive) {
    EXPECT_EQ(EString("ID%3a").IndexOf("%3A", 0), -1);
}

TEST(EStringIndexOf, StartPastTheEndOrNullNeedleIsMinusOne) {
    EXPECT_EQ(EString("abc").IndexOf("a", 100), -1);
    EXPECT_EQ(EString("abc").IndexOf(nullptr, 0), -1);
}

// --- LastIndexOf ------------------------------------------------------------

TEST(EStringLastIndexOf, EndZeroSearchesTheWholeText) {
    EXPECT_EQ(EString("a/b/c").LastIndexOf("/", 0), 3);
}

TEST(EStringLastIndexOf, EndIsTheLastByteAnOccurrenceMayUse) {
    // "abcabc": the second "abc" spans 3..5.
    EXPECT_EQ(EString("abcabc").LastIndexOf("abc", 5), 3);
    EXPECT_EQ(EString("abcabc").LastIndexOf("abc", 4), 0);
    EXPECT_EQ(EString("abcabc").LastIndexOf("abc", 2), 0);
    EXPECT_EQ(EString("abcabc").LastIndexOf("abc", 1), -1);
}

TEST(EStringLastIndexOf, OccurrenceAtTheVeryEndIsFound) {
    EXPECT_EQ(EString("a/b/").LastIndexOf("/", 0), 3);
    EXPECT_EQ(EString("x%20").LastIndexOf("%20", 0), 1);
}

TEST(EStringLastIndexOf, EndBeyondTheTextActsAsWholeText) {
    EXPECT_EQ(EString("a/b/c").LastIndexOf("/", 1000), 3);
    EXPECT_EQ(EString("a/b/c").LastIndexOf("/", ~0UL), 3);
}

TEST(EStringLastIndexOf, MissIsMinusOne) {
    EXPECT_EQ(EString("abc").LastIndexOf("/", 0), -1L);
    EXPECT_EQ(EString("").LastIndexOf("/", 0), -1L);
    EXPECT_EQ(EString("ab").LastIndexOf("abc", 0), -1L);
    EXPECT_EQ(EString("abc").LastIndexOf(nullptr, 0), -1L);
}

TEST(EStringLastIndexOf, MatchAtPositionZeroIsFound) {
    EXPECT_EQ(EString("/abc").LastIndexOf("/", 0), 0);
}

// --- Replace ----------------------------------------------------------------

TEST(EStringReplace, SingleCharacterFind) {
    EXPECT_EQ(EString("My List").Replace(" ", "%20", CascadeCase::Sensitive), "My%20List");
}

TEST(EStringReplace, SingleCharacterAtBothEndsAndInRuns) {
    EXPECT_EQ(EString(" a  b ").Replace(" ", "_", CascadeCase::Sensitive), "_a__b_");
}

TEST(EStringReplace, MultiCharacterFindAbsentGivesTextUnchanged) {
    EXPECT_EQ(EString("abc").Replace("%20", " ", CascadeCase::Sensitive), "abc");
}

TEST(EStringReplace, MultiCharacterFindEverywhere) {
    EXPECT_EQ(EString("%20a%20%20b%20").Replace("%20", " ", CascadeCase::Sensitive), " a  b ");
}

TEST(EStringReplace, TextEqualToFindGivesReplacement) {
    EXPECT_EQ(EString("%20").Replace("%20", " ", CascadeCase::Sensitive), " ");
}

TEST(EStringReplace, CaseInsensitiveOnlyWhenAsked) {
    EXPECT_EQ(EString("a%3ab").Replace("%3A", ":", CascadeCase::Insensitive), "a:b");
    EXPECT_EQ(EString("a%3ab").Replace("%3A", ":", CascadeCase::Sensitive), "a%3ab");
}

TEST(EStringReplace, NullArgumentsAreSafe) {
    EXPECT_EQ(EString("a b").Replace(nullptr, "x", CascadeCase::Sensitive), "a b");
    EXPECT_EQ(EString("a b").Replace(" ", nullptr, CascadeCase::Sensitive), "ab");
    EXPECT_EQ(EString("").Replace(" ", "x", CascadeCase::Sensitive), "");
}

TEST(EStringReplace, HugeTextWithManySeparators) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "ab%20";
    const EString replaced = EString(text).Replace("%20", " ", CascadeCase::Insensitive);
    EXPECT_EQ(replaced.GetLength(), 300000u);
    EXPECT_EQ(replaced.Substring(0, 6), "ab ab ");
}

}  // namespace

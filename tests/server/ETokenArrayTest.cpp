#include "server/ETokenArray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Tokens(const ETokenArray& array) {
    std::vector<std::string> out;
    for (unsigned long i = 0; i < array.GetNumTokens(); ++i) out.emplace_back(array.TokenAt(i));
    return out;
}

using Strings = std::vector<std::string>;

// --- Multi-character separators -------------------------------------------

TEST(ETokenArraySplit, GenresReplyAtIdField) {
    const ETokenArray tokens("genres 0 10 id%3A1 genre%3ARock id%3A2 genre%3AJazz", " id%3A", CascadeCase::Sensitive);
    EXPECT_EQ(Tokens(tokens), (Strings{"genres 0 10", "1 genre%3ARock", "2 genre%3AJazz"}));
}

TEST(ETokenArraySplit, TextWithoutSeparatorGivesNoTokens) {
    const ETokenArray tokens("genres 0 10 count%3A0", " id%3A", CascadeCase::Sensitive);
    EXPECT_EQ(tokens.GetNumTokens(), 0u);
    EXPECT_EQ(tokens.TokenAt(0), nullptr);
}

TEST(ETokenArraySplit, SeparatorAtTheEndGivesTrailingEmptyToken) {
    EXPECT_EQ(Tokens(ETokenArray("a%20", "%20", CascadeCase::Sensitive)), (Strings{"a", ""}));
}

TEST(ETokenArraySplit, SeparatorAtTheStartGivesLeadingEmptyToken) {
    EXPECT_EQ(Tokens(ETokenArray("%20a", "%20", CascadeCase::Sensitive)), (Strings{"", "a"}));
}

TEST(ETokenArraySplit, TextEqualToSeparatorGivesTwoEmptyTokens) {
    EXPECT_EQ(Tokens(ETokenArray("%20", "%20", CascadeCase::Sensitive)), (Strings{"", ""}));
}

TEST(ETokenArraySplit, AdjacentSeparatorsGiveEmptyTokenBetween) {
    EXPECT_EQ(Tokens(ETokenArray("a%20%20b", "%20", CascadeCase::Sensitive)), (Strings{"a", "", "b"}));
}

TEST(ETokenArraySplit, OccurrencesDoNotOverlap) {
    EXPECT_EQ(Tokens(ETokenArray("xaaay", "aa", CascadeCase::Sensitive)), (Strings{"x", "ay"}));
}

TEST(ETokenArraySplit, CaseInsensitiveMatchesFoldedSeparator) {
    EXPECT_EQ(Tokens(ETokenArray("ABxyC", "XY", CascadeCase::Insensitive)), (Strings{"AB", "C"}));
    EXPECT_EQ(ETokenArray("ABxyC", "XY", CascadeCase::Sensitive).GetNumTokens(), 0u);
}

TEST(ETokenArraySplit, CaseInsensitiveKeepsTheOriginalBytesOfTokens) {
    EXPECT_EQ(Tokens(ETokenArray("Rock%3aJazz%3APop", "%3A", CascadeCase::Insensitive)),
              (Strings{"Rock", "Jazz", "Pop"}));
}

TEST(ETokenArraySplit, TextEqualToSeparatorIgnoringCase) {
    EXPECT_EQ(Tokens(ETokenArray("%3a", "%3A", CascadeCase::Insensitive)), (Strings{"", ""}));
    EXPECT_EQ(ETokenArray("%3a", "%3A", CascadeCase::Sensitive).GetNumTokens(), 0u);
}

TEST(ETokenArraySplit, NonAsciiBytesAreNotFolded) {
    // U+00C9 and U+00E9 differ only beyond ASCII; they must not match.
    EXPECT_EQ(ETokenArray("a\xC3\x89zb", "\xC3\xA9z", CascadeCase::Insensitive).GetNumTokens(), 0u);
    EXPECT_EQ(Tokens(ETokenArray("Bj\xC3\xB6rk%20Sigur", "%20", CascadeCase::Sensitive)),
              (Strings{"Bj\xC3\xB6rk", "Sigur"}));
}

TEST(ETokenArraySplit, NullTextOrSeparatorGivesNoTokens) {
    EXPECT_EQ(ETokenArray(nullptr, "%20", CascadeCase::Sensitive).GetNumTokens(), 0u);
    EXPECT_EQ(ETokenArray("a b", nullptr, CascadeCase::Sensitive).GetNumTokens(), 0u);
}

TEST(ETokenArraySplit, HugeReplySplitsIntoEveryField) {
    std::string reply = "titles 0 50000";
    for (int i = 0; i < 50000; ++i) reply += " id%3A" + std::to_string(i);
    const ETokenArray tokens(reply.c_str(), " ID%3a", CascadeCase::Insensitive);
    ASSERT_EQ(tokens.GetNumTokens(), 50001u);
    EXPECT_STREQ(tokens.TokenAt(50000), "49999");
}

// --- One-character separators ----------------------------------------------

TEST(ETokenArraySplit, SingleCharacterKeepsEmptyTokens) {
    EXPECT_EQ(Tokens(ETokenArray(" a  b ", " ", CascadeCase::Sensitive)), (Strings{"", "a", "", "b", ""}));
}

TEST(ETokenArraySplit, SingleCharacterAbsentGivesWholeText) {
    EXPECT_EQ(Tokens(ETokenArray("abc", " ", CascadeCase::Sensitive)), (Strings{"abc"}));
}

TEST(ETokenArraySplit, SingleCharacterEmptyTextGivesNoTokens) {
    EXPECT_EQ(ETokenArray("", " ", CascadeCase::Sensitive).GetNumTokens(), 0u);
}

// --- Access ----------------------------------------------------------------

TEST(ETokenArrayAccess, TokenAtTheCountIsNull) {
    const ETokenArray tokens("a b", " ", CascadeCase::Sensitive);
    ASSERT_EQ(tokens.GetNumTokens(), 2u);
    EXPECT_NE(tokens.TokenAt(1), nullptr);
    EXPECT_EQ(tokens.TokenAt(2), nullptr);
    EXPECT_EQ(tokens.TokenAt(~0UL), nullptr);
}

TEST(ETokenArrayAccess, ResetEmptiesTheArray) {
    ETokenArray tokens("a b c", " ", CascadeCase::Sensitive);
    tokens.Reset();
    EXPECT_EQ(tokens.GetNumTokens(), 0u);
    EXPECT_EQ(tokens.TokenAt(0), nullptr);
    EXPECT_EQ(tokens.Join(","), "");
}

// --- Contains ----------------------------------------------------------------

TEST(ETokenArrayContains, SortedSingleTokenIsFound) {
    const ETokenArray tokens("the", " ", CascadeCase::Sensitive);
    EXPECT_EQ(tokens.Contains("the", CascadeCase::Sensitive, ETokenArray::Order::Sorted), 0);
}

TEST(ETokenArrayContains, SortedFindsFirstMiddleAndLast) {
    const ETokenArray tokens("a b c", " ", CascadeCase::Sensitive);
    EXPECT_EQ(tokens.Contains("a", CascadeCase::Sensitive, ETokenArray::Order::Sorted), 0);
    EXPECT_EQ(tokens.Contains("b", CascadeCase::Sensitive, ETokenArray::Order::Sorted), 1);
    EXPECT_EQ(tokens.Contains("c", CascadeCase::Sensitive, ETokenArray::Order::Sorted), 2);
}

TEST(ETokenArrayContains, SortedFindsEveryTokenOfEvenAndOddCounts) {
    for (const char* text : {"a b", "a b c d", "a b c d e f g h", "a b c d e f g h i"}) {
        const ETokenArray tokens(text, " ", CascadeCase::Sensitive);
        for (unsigned long i = 0; i < tokens.GetNumTokens(); ++i) {
            EXPECT_EQ(tokens.Contains(tokens.TokenAt(i), CascadeCase::Sensitive, ETokenArray::Order::Sorted), long(i))
                << text;
        }
    }
}

TEST(ETokenArrayContains, SortedMissesBeforeBetweenAndAfter) {
    const ETokenArray tokens("b d f", " ", CascadeCase::Sensitive);
    for (const char* missing : {"a", "c", "e", "g", ""}) {
        EXPECT_EQ(tokens.Contains(missing, CascadeCase::Sensitive, ETokenArray::Order::Sorted), -1) << missing;
    }
}

TEST(ETokenArrayContains, EmptyArrayIsMinusOne) {
    const ETokenArray tokens("", " ", CascadeCase::Sensitive);
    EXPECT_EQ(tokens.Contains("a", CascadeCase::Sensitive, ETokenArray::Order::Sorted), -1);
    EXPECT_EQ(tokens.Contains("a", CascadeCase::Sensitive, ETokenArray::Order::Unsorted), -1);
}

TEST(ETokenArrayContains, UnsortedGivesTheFirstEqualToken) {
    const ETokenArray tokens("x The y the", " ", CascadeCase::Sensitive);
    EXPECT_EQ(tokens.Contains("the", CascadeCase::Insensitive, ETokenArray::Order::Unsorted), 1);
    EXPECT_EQ(tokens.Contains("the", CascadeCase::Sensitive, ETokenArray::Order::Unsorted), 3);
    EXPECT_EQ(tokens.Contains("th", CascadeCase::Sensitive, ETokenArray::Order::Unsorted), -1);
}

TEST(ETokenArrayContains, NullTokenIsMinusOne) {
    const ETokenArray tokens("a b", " ", CascadeCase::Sensitive);
    EXPECT_EQ(tokens.Contains(nullptr, CascadeCase::Sensitive, ETokenArray::Order::Unsorted), -1);
    EXPECT_EQ(tokens.Contains(nullptr, CascadeCase::Sensitive, ETokenArray::Order::Sorted), -1);
}

// --- Join ----------------------------------------------------------------------

TEST(ETokenArrayJoin, SeparatorOnlyBetweenNeighbours) {
    const ETokenArray tokens("a%20b%20", "%20", CascadeCase::Sensitive);
    EXPECT_EQ(tokens.Join("+"), "a+b+");
}

TEST(ETokenArrayJoin, SplitThenJoinGivesTheTextBack) {
    const char* text = "%20x%20%20y%20";
    EXPECT_EQ(ETokenArray(text, "%20", CascadeCase::Sensitive).Join("%20"), text);
}

}  // namespace

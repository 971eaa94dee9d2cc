#include "server/ETokenArray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

Strings Tokens(const ETokenArray& array) {
    Strings out;
    for (unsigned long i = 0; i < array.GetNumTokens(); ++i) out.emplace_back(array.TokenAt(i));
    return out;
}

TEST(ETokenArray, Split) {
    struct Case {
        const char *text, *separator;
        CascadeCase cs;
        Strings tokens;
    } const cases[] = {
        {"genres 0 10 id%3A1 genre%3ARock id%3A2 genre%3AJazz", " id%3A", CascadeCase::Sensitive,
         {"genres 0 10", "1 genre%3ARock", "2 genre%3AJazz"}},
        {"genres 0 10 count%3A0", " id%3A", CascadeCase::Sensitive, {}},  // no separator: no tokens
        {"a%20", "%20", CascadeCase::Sensitive, {"a", ""}},
        {"%20a", "%20", CascadeCase::Sensitive, {"", "a"}},
        {"%20", "%20", CascadeCase::Sensitive, {"", ""}},
        {"a%20%20b", "%20", CascadeCase::Sensitive, {"a", "", "b"}},
        {"xaaay", "aa", CascadeCase::Sensitive, {"x", "ay"}},  // no overlapping matches
        {"ABxyC", "XY", CascadeCase::Insensitive, {"AB", "C"}},
        {"ABxyC", "XY", CascadeCase::Sensitive, {}},
        {"Rock%3aJazz%3APop", "%3A", CascadeCase::Insensitive, {"Rock", "Jazz", "Pop"}},  // bytes kept
        {"%3a", "%3A", CascadeCase::Insensitive, {"", ""}},
        {"%3a", "%3A", CascadeCase::Sensitive, {}},
        {"a\xC3\x89zb", "\xC3\xA9z", CascadeCase::Insensitive, {}},  // non-ASCII is not folded
        {"Bj\xC3\xB6rk%20Sigur", "%20", CascadeCase::Sensitive, {"Bj\xC3\xB6rk", "Sigur"}},
        {nullptr, "%20", CascadeCase::Sensitive, {}},
        {"a b", nullptr, CascadeCase::Sensitive, {}},
        // One-character separators keep empty tokens and give the whole text
        // when absent.
        {" a  b ", " ", CascadeCase::Sensitive, {"", "a", "", "b", ""}},
        {"abc", " ", CascadeCase::Sensitive, {"abc"}},
        {"", " ", CascadeCase::Sensitive, {}},
    };
    for (const Case& c : cases) {
        const ETokenArray array(c.text, c.separator, c.cs);
        EXPECT_EQ(Tokens(array), c.tokens) << (c.text ? c.text : "(null)") << " at " << (c.separator ? c.separator : "(null)");
        EXPECT_EQ(array.TokenAt(array.GetNumTokens()), nullptr);
        EXPECT_EQ(array.TokenAt(~0UL), nullptr);
    }
    std::string reply = "titles 0 50000";
    for (int i = 0; i < 50000; ++i) reply += " id%3A" + std::to_string(i);
    const ETokenArray huge(reply.c_str(), " ID%3a", CascadeCase::Insensitive);
    ASSERT_EQ(huge.GetNumTokens(), 50001u);
    EXPECT_STREQ(huge.TokenAt(50000), "49999");
}

TEST(ETokenArray, ResetAndJoin) {
    ETokenArray tokens("a b c", " ", CascadeCase::Sensitive);
    tokens.Reset();
    EXPECT_EQ(tokens.GetNumTokens(), 0u);
    EXPECT_EQ(tokens.TokenAt(0), nullptr);
    EXPECT_EQ(tokens.Join(","), "");
    EXPECT_EQ(ETokenArray("a%20b%20", "%20", CascadeCase::Sensitive).Join("+"), "a+b+");
    const char* text = "%20x%20%20y%20";
    EXPECT_EQ(ETokenArray(text, "%20", CascadeCase::Sensitive).Join("%20"), text);
}

TEST(ETokenArray, SortedContainsFindsEveryTokenAndMissesTheGaps) {
    for (const char* text : {"the", "a b", "a b c", "a b c d", "a b c d e f g h", "a b c d e f g h i"}) {
        const ETokenArray tokens(text, " ", CascadeCase::Sensitive);
        for (unsigned long i = 0; i < tokens.GetNumTokens(); ++i)
            EXPECT_EQ(tokens.Contains(tokens.TokenAt(i), CascadeCase::Sensitive, ETokenArray::Order::Sorted), long(i))
                << text;
    }
    const ETokenArray gaps("b d f", " ", CascadeCase::Sensitive);
    for (const char* missing : {"a", "c", "e", "g", ""})
        EXPECT_EQ(gaps.Contains(missing, CascadeCase::Sensitive, ETokenArray::Order::Sorted), -1) << missing;
    EXPECT_EQ(gaps.Contains(nullptr, CascadeCase::Sensitive, ETokenArray::Order::Sorted), -1);
    const ETokenArray empty("", " ", CascadeCase::Sensitive);
    EXPECT_EQ(empty.Contains("a", CascadeCase::Sensitive, ETokenArray::Order::Sorted), -1);
    EXPECT_EQ(empty.Contains("a", CascadeCase::Sensitive, ETokenArray::Order::Unsorted), -1);
}

TEST(ETokenArray, UnsortedContainsGivesTheFirstEqualToken) {
    const ETokenArray tokens("x The y the", " ", CascadeCase::Sensitive);
    EXPECT_EQ(tokens.Contains("the", CascadeCase::Insensitive, ETokenArray::Order::Unsorted), 1);
    EXPECT_EQ(tokens.Contains("the", CascadeCase::Sensitive, ETokenArray::Order::Unsorted), 3);
    EXPECT_EQ(tokens.Contains("th", CascadeCase::Sensitive, ETokenArray::Order::Unsorted), -1);
    EXPECT_EQ(tokens.Contains(nullptr, CascadeCase::Sensitive, ETokenArray::Order::Unsorted), -1);
}

}  // namespace

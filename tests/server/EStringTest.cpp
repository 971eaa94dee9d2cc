#include "server/EString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(EString, Trim) {
    struct Case {
        const char *text, *trimmed;
    } const cases[] = {
        {" \t\r\n", ""},
        {"\tab c \n", "ab c"},                // inner blanks stay
        {"\v x\f", "\v x\f"},                  // other control bytes are no blanks
        {" Bj\xC3\xB6rk\xC2\xA0 ", "Bj\xC3\xB6rk\xC2\xA0"},  // nor is a non-ASCII space
    };
    for (const Case& c : cases) EXPECT_EQ(EString(c.text).Trim(), c.trimmed) << c.text;
}

TEST(EString, Substring) {
    struct Case {
        const char* text;
        unsigned long start, length;
        const char* part;
    } const cases[] = {
        {"abcdef", 3, 0, "def"},  // length 0: to the end
        {"abcdef", 6, 2, ""},     {"abcdef", ~0UL, 0, ""},
        {"abc", 1, 10, "bc"},     {"abc", 1, ~0UL, "bc"},
    };
    for (const Case& c : cases) EXPECT_EQ(EString(c.text).Substring(c.start, c.length), c.part) << c.text;
}

TEST(EString, IndexOfAndLastIndexOf) {
    struct Case {
        const char *text, *find;
        unsigned long from;  // start for IndexOf, last byte a match may use for LastIndexOf (0: all)
        long first, last;
    } const cases[] = {
        {"id%3A7", "%3A", 0, 2, 2},
        {"ab", "abc", 0, -1, -1},           // needle longer than the text
        {"a/b/c", "/", 2, 3, 1},            // from skips earlier ones / ends before the second
        {"a/b/c", "/", 4, -1, 3},
        {"xx%20", "%20", 0, 2, 2},          // a match ending at the last byte
        {"ID%3a", "%3A", 0, -1, -1},        // case-sensitive
        {"abc", "a", 100, -1, 0},           // start past the end / end past the text
        {"abc", nullptr, 0, -1, -1},
        {"a/b/c", "/", 0, 1, 3},
        {"abcabc", "abc", 5, -1, 3},        // the second "abc" spans 3..5
        {"abcabc", "abc", 4, -1, 0},
        {"abcabc", "abc", 2, 3, 0},
        {"abcabc", "abc", 1, 3, -1},
        {"a/b/", "/", 0, 1, 3},
        {"x%20", "%20", 0, 1, 1},
        {"a/b/c", "/", 1000, -1, 3},
        {"a/b/c", "/", ~0UL, -1, 3},
        {"", "/", 0, -1, -1},
        {"/abc", "/", 0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EString(c.text).IndexOf(c.find, c.from), c.first) << c.text << " from " << c.from;
        EXPECT_EQ(EString(c.text).LastIndexOf(c.find, c.from), c.last) << c.text << " to " << c.from;
    }
}

TEST(EString, Replace) {
    struct Case {
        const char *text, *find, *with;
        CascadeCase cs;
        const char* out;
    } const cases[] = {
        {"My List", " ", "%20", CascadeCase::Sensitive, "My%20List"},
        {" a  b ", " ", "_", CascadeCase::Sensitive, "_a__b_"},
        {"abc", "%20", " ", CascadeCase::Sensitive, "abc"},
        {"%20a%20%20b%20", "%20", " ", CascadeCase::Sensitive, " a  b "},
        {"%20", "%20", " ", CascadeCase::Sensitive, " "},
        {"a%3ab", "%3A", ":", CascadeCase::Insensitive, "a:b"},
        {"a%3ab", "%3A", ":", CascadeCase::Sensitive, "a%3ab"},
        {"a b", nullptr, "x", CascadeCase::Sensitive, "a b"},
        {"a b", " ", nullptr, CascadeCase::Sensitive, "ab"},
        {"", " ", "x", CascadeCase::Sensitive, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(EString(c.text).Replace(c.find, c.with, c.cs), c.out) << c.text;
    std::string huge;
    for (int i = 0; i < 100000; ++i) huge += "ab%20";
    const EString replaced = EString(huge).Replace("%20", " ", CascadeCase::Insensitive);
    EXPECT_EQ(replaced.GetLength(), 300000u);
    EXPECT_EQ(replaced.Substring(0, 6), "ab ab ");
}

}  // namespace

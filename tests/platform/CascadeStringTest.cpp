#include "platform/CascadeString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using CascadeCase::Insensitive;
using CascadeCase::Sensitive;

TEST(CascadeString, CompareOrdersAndFoldsAsciiCaseOnlyWhenAsked) {
    const struct {
        const char *a, *b;
        CascadeCase cs;
        std::size_t length;
        int sign;
    } cases[] = {
        {"Quendrel ping", "quendrel PING", Insensitive, CascadeString::kUnlimited, 0},
        {"Quendrel ping", "quendrel PING", Sensitive, CascadeString::kUnlimited, -1},
        {"abc", "abd", Sensitive, CascadeString::kUnlimited, -1},
        {"abcd", "abc", Sensitive, CascadeString::kUnlimited, 1},  // a longer text sorts after its prefix
        {"-debugx", "-debug", Insensitive, 6, 0},
        {"-debugx", "-debug", Insensitive, CascadeString::kUnlimited, 1},
        {"\xC3\xA9", "z", Sensitive, CascadeString::kUnlimited, 1},            // bytes above 127 compare unsigned
        {"\xC3\x89", "\xC3\xA9", Insensitive, CascadeString::kUnlimited, -1},  // and are never folded
    };
    for (const auto& c : cases) {
        const int result = CascadeString(c.a).Compare(c.b, c.cs, c.length);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " / " << c.b;
    }
    CascadeString s;
    s.Format("%s-%d", std::string(5000, 'x').c_str(), 7);  // past any fixed buffer
    EXPECT_EQ(s.GetLength(), 5002u);
    EXPECT_TRUE(s.View().ends_with("-7"));
}

}  // namespace

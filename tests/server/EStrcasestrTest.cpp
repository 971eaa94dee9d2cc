#include "server/EStrcasestr.h"

#include <gtest/gtest.h>

namespace {

TEST(EStrCaseStr, FirstMatchIgnoringAsciiCaseOnly) {
    const char* hay = "Genre%3aRock genre%3ajazz";
    const char* empty = "";
    const char* cafe = "CAF\xC3\xA9";
    struct Case {
        const char *haystack, *needle, *match;
    } const cases[] = {
        {hay, "GENRE%3A", hay},
        {hay, "%3AJAZZ", hay + 18},
        {"abc", "abcd", nullptr},
        {"abc", "x", nullptr},
        {nullptr, "a", nullptr},
        {"a", nullptr, nullptr},
        {hay, "", hay},  // an empty needle matches at the start
        {empty, "", empty},
        {"caf\xC3\x89", "caf\xC3\xA9", nullptr},  // U+00C9 and U+00E9 differ beyond ASCII
        {cafe, "caf\xC3\xA9", cafe},
        {"[", "{", nullptr},  // just past 'Z' and 'z': no folding
        {"@", "`", nullptr},
    };
    for (const Case& c : cases) EXPECT_EQ(EStrCaseStr(c.haystack, c.needle), c.match) << (c.needle ? c.needle : "(null)");
}

}  // namespace

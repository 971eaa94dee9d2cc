#include "server/EStrcasestr.h"

#include <gtest/gtest.h>

namespace {

TEST(EStrCaseStr, PointsIntoTheHaystackAtTheFirstMatch) {
    const char* hay = "Genre%3aRock genre%3ajazz";
    EXPECT_EQ(EStrCaseStr(hay, "GENRE%3A"), hay);
    EXPECT_EQ(EStrCaseStr(hay, "%3AJAZZ"), hay + 18);
}

TEST(EStrCaseStr, MissOrNullIsNull) {
    EXPECT_EQ(EStrCaseStr("abc", "abcd"), nullptr);
    EXPECT_EQ(EStrCaseStr("abc", "x"), nullptr);
    EXPECT_EQ(EStrCaseStr(nullptr, "a"), nullptr);
    EXPECT_EQ(EStrCaseStr("a", nullptr), nullptr);
}

TEST(EStrCaseStr, EmptyNeedleMatchesAtTheStart) {
    const char* hay = "abc";
    EXPECT_EQ(EStrCaseStr(hay, ""), hay);
    const char* empty = "";
    EXPECT_EQ(EStrCaseStr(empty, ""), empty);
}

TEST(EStrCaseStr, FoldsAsciiOnly) {
    // 'É' (C3 89) and 'é' (C3 A9) are different bytes; no folding beyond ASCII.
    EXPECT_EQ(EStrCaseStr("caf\xC3\x89", "caf\xC3\xA9"), nullptr);
    const char* hay = "CAF\xC3\xA9";
    EXPECT_EQ(EStrCaseStr(hay, "caf\xC3\xA9"), hay);
    // '[' (0x5B) sits just past 'Z' and must not fold to '{' (0x7B).
    EXPECT_EQ(EStrCaseStr("[", "{"), nullptr);
    EXPECT_EQ(EStrCaseStr("@", "`"), nullptr);
}

}  // namespace

#include "platform/CascadeString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Bytes above 127 compare unsigned (so "é" sorts after "z") and are never
// folded; a formatted text longer than any fixed buffer is kept whole.
TEST(CascadeString, NonAsciiBytesCompareUnsignedAndFormatKeepsLongTexts) {
    EXPECT_GT(CascadeString("\xC3\xA9").Compare("z"), 0);
    EXPECT_LT(CascadeString("\xC3\x89").Compare("\xC3\xA9", CascadeCase::Insensitive), 0);
    CascadeString s;
    s.Format("%s-%d", std::string(5000, 'x').c_str(), 7);
    EXPECT_EQ(s.GetLength(), 5002u);
    EXPECT_TRUE(s.View().ends_with("-7"));
}

}  // namespace

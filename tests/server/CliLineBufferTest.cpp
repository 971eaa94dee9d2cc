#include "server/CliLineBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Feed(CliLineBuffer& buffer, const std::string& bytes) {
    buffer.Append(bytes.data(), bytes.size());
    std::vector<std::string> lines;
    std::string line;
    while (buffer.NextLine(line)) lines.push_back(line);
    return lines;
}

TEST(CliLineBufferJoin, ALineSplitOverTwoReceivesComesOutOnceWhole) {
    CliLineBuffer buffer;
    EXPECT_TRUE(Feed(buffer, "00%3A04 playlist new").empty());
    EXPECT_EQ((std::vector<std::string>{"00%3A04 playlist newsong"}), Feed(buffer, "song\n"));
}

TEST(CliLineBufferJoin, SeveralLinesInOneReceiveComeOutInOrder) {
    CliLineBuffer buffer;
    EXPECT_EQ((std::vector<std::string>{"a 1", "b 2", "c 3"}), Feed(buffer, "a 1\nb 2\r\n\n\nc 3\nd"));
    EXPECT_EQ((std::vector<std::string>{"d"}), Feed(buffer, "\n"));
}

TEST(CliLineBufferJoin, AnOverlongLineIsDroppedAndTheNextOneSurvives) {
    CliLineBuffer buffer;
    const std::string huge(CliLineBuffer::kMaxLine + 10, 'x');
    EXPECT_TRUE(Feed(buffer, huge).empty());
    EXPECT_TRUE(Feed(buffer, "still the long one").empty());
    EXPECT_EQ((std::vector<std::string>{"next"}), Feed(buffer, " end\nnext\n"));
}

TEST(CliLineBufferJoin, ResetForgetsAPartialLine) {
    CliLineBuffer buffer;
    Feed(buffer, "half");
    buffer.Reset();
    EXPECT_EQ((std::vector<std::string>{"whole"}), Feed(buffer, "whole\n"));
}

}  // namespace

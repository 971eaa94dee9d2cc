#include "platform/CascadeStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Hands out a fixed text, at most `piece` bytes per read.
class TextStream : public CascadeStream {
public:
    explicit TextStream(std::string text, std::size_t piece = 1) : m_text(std::move(text)), m_piece(piece) {}
    long ReadBytes(void* buffer, std::size_t length) override {
        const std::size_t n = std::min({length, m_piece, m_text.size() - m_pos});
        std::memcpy(buffer, m_text.data() + m_pos, n);
        m_pos += n;
        return long(n);
    }

private:
    std::string m_text;
    std::size_t m_piece;
    std::size_t m_pos = 0;
};

std::vector<std::string> Lines(CascadeStream& stream) {
    std::vector<std::string> lines;
    CascadeString line;
    while (stream.GetLine(line)) lines.push_back(line.Std());
    return lines;
}

TEST(CascadeStreamGetLine, SplitsAtLineFeedsAndDropsCarriageReturns) {
    TextStream stream("[playlist]\r\nFile1=http://a/b\n\nNumberOfEntries=1");
    const std::vector<std::string> expected = {"[playlist]", "File1=http://a/b", "", "NumberOfEntries=1"};
    EXPECT_EQ(Lines(stream), expected);
}

TEST(CascadeStreamGetLine, EmptyStreamHasNoLineAndClearsTheOutput) {
    TextStream stream("");
    CascadeString line("old");
    EXPECT_FALSE(stream.GetLine(line));
    EXPECT_EQ(line, "");
}

TEST(CascadeStreamGetLine, TextEndingInALineFeedHasNoExtraEmptyLine) {
    TextStream stream("one\ntwo\n");
    const std::vector<std::string> expected = {"one", "two"};
    EXPECT_EQ(Lines(stream), expected);
}

TEST(CascadeStreamGetLine, OverlongLineComesInBoundedPieces) {
    const std::string huge(CascadeStream::kMaxLineLength * 2 + 5, 'x');
    TextStream stream(huge + "\nafter\n", 4096);
    const auto lines = Lines(stream);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].size(), CascadeStream::kMaxLineLength);
    EXPECT_EQ(lines[1].size(), CascadeStream::kMaxLineLength);
    EXPECT_EQ(lines[2], "xxxxx");
    EXPECT_EQ(lines[3], "after");
}

TEST(CascadeStreamDefaults, PlainStreamCannotSeekAndKnowsNoSize) {
    TextStream stream("abc");
    EXPECT_EQ(stream.GetSize(), 0u);
    EXPECT_FALSE(stream.SeekToPosition(1));
    EXPECT_EQ(stream.GetContentType(), "");
}

}  // namespace

#include "platform/CascadeStream.h"
#include "platform/CascadeString.h"
#include "platform/CascadeTokenArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

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

// Every separator ends a token, so joining the tokens restores the text.
TEST(CascadeTokenArray, EverySeparatorEndsAToken) {
    const struct {
        const char *text, *separators;
        std::vector<std::string> tokens;
    } cases[] = {
        {" a  b ", " ", {"", "a", "", "b", ""}},
        {"artist:A|album:B", ":|", {"artist", "A", "album", "B"}},
        {"", " ", {}},
        {"abc", "", {"abc"}},
    };
    for (const auto& c : cases) {
        CascadeTokenArray t(c.text, c.separators);
        std::vector<std::string> tokens;
        for (std::size_t i = 0; i < t.GetNumTokens(); ++i) tokens.push_back(t.TokenAt(i).Std());
        EXPECT_EQ(tokens, c.tokens) << '"' << c.text << '"';
        EXPECT_EQ(t.TokenAt(t.GetNumTokens()), "");  // past the end: empty, not a crash
    }
}

// Hands out a fixed text, at most `piece` bytes per read.
class TextStream : public CascadeStream {
public:
    TextStream(std::string text, std::size_t piece) : m_text(std::move(text)), m_piece(piece) {}
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

// Lines end at line feeds (a carriage return before one is dropped), the
// last may lack one, and an overlong line comes in bounded pieces.
TEST(CascadeStream, GetLineSplitsTheText) {
    const std::string huge(CascadeStream::kMaxLineLength * 2 + 5, 'x');
    const struct {
        std::string text;
        std::size_t piece;
        std::vector<std::string> lines;
    } cases[] = {
        {"[playlist]\r\nFile1=http://a/b\n\nNumberOfEntries=1",
         1,
         {"[playlist]", "File1=http://a/b", "", "NumberOfEntries=1"}},
        {"one\ntwo\n", 1, {"one", "two"}},
        {"", 1, {}},
        {huge + "\nafter\n",
         4096,
         {huge.substr(0, CascadeStream::kMaxLineLength), huge.substr(0, CascadeStream::kMaxLineLength), "xxxxx",
          "after"}},
    };
    for (const auto& c : cases) {
        TextStream stream(c.text, c.piece);
        std::vector<std::string> lines;
        CascadeString line("old");
        while (stream.GetLine(line)) lines.push_back(line.Std());
        EXPECT_TRUE(lines == c.lines) << c.text.substr(0, 40);
        EXPECT_EQ(line, "");
    }
}

}  // namespace

// The text toolkit under the reply parsers: EString, ETokenArray,
// EStrCaseStr and the text, HTTP and file helpers of EUtils.
#include "server/EStrcasestr.h"
#include "server/EString.h"
#include "server/ETokenArray.h"
#include "server/EUtils.h"
#include "support/LocalHttpServer.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using namespace std::string_literals;
constexpr auto kSens = CascadeCase::Sensitive, kIns = CascadeCase::Insensitive;

const char* Show(const char* text) {
    return text ? text : "(null)";
}

TEST(EString, TrimSubstringReplaceAndSearch) {
    EXPECT_EQ(EString(" \t\r\n").Trim(), "");
    EXPECT_EQ(EString("\tab c \n").Trim(), "ab c");
    EXPECT_EQ(EString("\v x\f").Trim(), "\v x\f");  // other control bytes are no blanks
    EXPECT_EQ(EString("abcdef").Substring(3, 0), "def");
    EXPECT_EQ(EString("abcdef").Substring(6, 2), "");
    EXPECT_EQ(EString("abc").Substring(1, ~0UL), "bc");
    EXPECT_EQ(EString("My List").Replace(" ", "%20", kSens), "My%20List");
    EXPECT_EQ(EString("%20a%20%20b%20").Replace("%20", " ", kSens), " a  b ");
    EXPECT_EQ(EString("a%3ab").Replace("%3A", ":", kIns), "a:b");
    EXPECT_EQ(EString("abc").Replace("%20", " ", kSens), "abc");
    const struct {
        const char *text, *find;
        unsigned long from;  // start for IndexOf, last byte a match may use for LastIndexOf (0: all)
        long first, last;
    } cases[] = {
        {"id%3A7", "%3A", 0, 2, 2},  {"ab", "abc", 0, -1, -1},    {"a/b/c", "/", 2, 3, 1},
        {"xx%20", "%20", 0, 2, 2},   {"abcabc", "abc", 5, -1, 3}, {"abcabc", "abc", 4, -1, 0},
        {"a/b/c", "/", ~0UL, -1, 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EString(c.text).IndexOf(c.find, c.from), c.first) << c.text << " from " << c.from;
        EXPECT_EQ(EString(c.text).LastIndexOf(c.find, c.from), c.last) << c.text << " to " << c.from;
    }
}

// A multi-character separator that does not occur gives no tokens at all,
// matches never overlap and only ASCII is folded; a one-character separator
// keeps empty tokens. Tokens are shown as "[token]". The genre tests search
// the long sorted list.
TEST(ETokenArray, SplitJoinAndContains) {
    const struct {
        const char *text, *separator;
        CascadeCase cs;
        const char* tokens;
    } cases[] = {
        {"g 0 id%3A1 x id%3A2", " id%3A", kSens, "[g 0][1 x][2]"},
        {"g 0 count%3A0", " id%3A", kSens, ""},
        {"a%20", "%20", kSens, "[a][]"},
        {"%20a", "%20", kSens, "[][a]"},
        {"%20", "%20", kSens, "[][]"},
        {"xaaay", "aa", kSens, "[x][ay]"},
        {"ABxyC", "XY", kIns, "[AB][C]"},
        {"ABxyC", "XY", kSens, ""},
        {"a\xC3\x89zb", "\xC3\xA9z", kIns, ""},
        {nullptr, "%20", kSens, ""},
        {" a  b ", " ", kSens, "[][a][][b][]"},
        {"", " ", kSens, ""},
    };
    for (const auto& c : cases) {
        const ETokenArray array(c.text, c.separator, c.cs);
        std::string tokens;
        for (unsigned long i = 0; i < array.GetNumTokens(); ++i) tokens += "[" + std::string(array.TokenAt(i)) + "]";
        EXPECT_EQ(tokens, c.tokens) << Show(c.text) << " at " << Show(c.separator);
        EXPECT_EQ(array.TokenAt(array.GetNumTokens()), nullptr);
    }
    const char* text = "%20x%20%20y%20";
    EXPECT_EQ(ETokenArray(text, "%20", kSens).Join("%20"), text);
    // The sorted search finds every token of short arrays of every length.
    for (const char* sorted : {"the", "a b", "a b c", "a b c d", "a b c d e f g h", "a b c d e f g h i"}) {
        const ETokenArray tokens(sorted, " ", kSens);
        for (unsigned long i = 0; i < tokens.GetNumTokens(); ++i)
            EXPECT_EQ(tokens.Contains(tokens.TokenAt(i), kSens, ETokenArray::Order::Sorted), long(i)) << sorted;
    }
}

// No folding beyond ASCII letters: not of U+00C9, nor of the bytes just past
// 'Z' and 'z'.
TEST(EStrCaseStr, FirstMatchIgnoringAsciiCaseOnly) {
    const char* hay = "Genre%3aRock genre%3ajazz";
    EXPECT_EQ(EStrCaseStr(hay, "%3AJAZZ"), hay + 18);
    EXPECT_EQ(EStrCaseStr(hay, ""), hay);
    EXPECT_EQ(EStrCaseStr(nullptr, "a"), nullptr);
    EXPECT_EQ(EStrCaseStr("caf\xC3\x89", "caf\xC3\xA9"), nullptr);
    EXPECT_EQ(EStrCaseStr("[", "{"), nullptr);
}

TEST(EUtilsText, ReplaceDecodeAndEncode) {
    const struct {
        const char *source, *find, *replace, *out;
    } replaces[] = {
        {"aaa", "a", "bb", "bbbbbb"},    {"a b c", " ", " ", "a b c"}, {"a.b", ".", "..", "a..b"},
        {"a--b--", "--", nullptr, "ab"}, {nullptr, "a", "b", ""},
    };
    for (const auto& c : replaces) {
        CascadeString out("stale");
        EUtils::ReplaceString(c.source, c.find, c.replace, out);
        EXPECT_EQ(out, c.out) << Show(c.source) << " / " << Show(c.find);
    }
    // A cut-off escape uses what is there; invalid digits end the number.
    const struct {
        const char* source;
        std::string out;
    } decodes[] = {
        {"Rock%20%26+Roll", "Rock & Roll"}, {"%41%4", "A\x04"s}, {"%4G!", "\x04!"s},
        {"caf%c3%a9", "caf\xC3\xA9"},       {nullptr, ""},
    };
    for (const auto& c : decodes) {
        CascadeString out("stale");
        EUtils::UrlDecode(c.source, out);
        EXPECT_EQ(out.Std(), c.out) << Show(c.source);
    }
    CascadeString encoded, decoded;
    EUtils::UrlEncode("genre:Rock & Roll AZaz09-._~\xC3\xA9\n+%"s, encoded);
    EXPECT_EQ(encoded, "genre%3ARock%20%26%20Roll%20AZaz09-._~%C3%A9%0A%2B%25");
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    EUtils::UrlEncode(all, encoded);
    EUtils::UrlDecode(encoded.c_str(), decoded);
    EXPECT_EQ(decoded.Std(), all);
}

TEST(EUtilsText, ParseDecimal) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max(), kMin = std::numeric_limits<int64_t>::min();
    const struct {
        std::string_view text;
        int64_t value;
    } cases[] = {
        {"42abc", 42},
        {"1.5", 1},
        {"", 0},
        {"+-3", 0},
        {" \t\n-17", -17},
        {"+8", 8},
        {"- 8", 0},
        {"9223372036854775808", kMax},
        {"-9223372036854775809", kMin},
    };
    for (const auto& c : cases) EXPECT_EQ(EUtils::ParseDecimal(c.text), c.value) << c.text;
    EXPECT_EQ(EUtils::ParseDecimal(std::string_view("123456", 3)), 123);  // not past the view
}

// Pages that declare ISO-8859-1 reach the XML parser as UTF-8; pages without
// a declaration are read as UTF-8.
TEST(EUtilsText, XmlToUtf8ConvertsByTheDeclaredEncoding) {
    const struct {
        std::string page, utf8;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Caf\xe9 \xff</a>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>Caf\xc3\xa9 \xc3\xbf</a>"},
        {"<?xml version='1.0' encoding = 'latin1' ?>\xc4", "<?xml version='1.0' encoding = 'UTF-8' ?>\xc3\x84"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>Caf\xc3\xa9",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>Caf\xc3\xa9"},
        {"<a>Caf\xe9</a>", "<a>Caf\xe9</a>"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\""},
    };
    for (const auto& c : cases) EXPECT_EQ(EUtils::XmlToUtf8(c.page), c.utf8) << c.page;
}

TEST(EUtilsFiles, GetFileSizeAndGetHTTPData) {
    const ScopedTempDir dir;
    ASSERT_TRUE(dir.WriteFile("data.bin", std::string(12345, 'x')));
    EXPECT_EQ(EUtils::GetFileSize(dir.File("data.bin").c_str()), 12345u);
    EXPECT_EQ(EUtils::GetFileSize(dir.File("none").c_str()), 0u);

    // The body is appended as read, a byte 0 included; a failed read changes nothing.
    LocalHttpServer server;
    ASSERT_TRUE(server.Start());
    server.Route("/nul", LocalHttpServer::Body(std::string(3000, 'x') + "\0cd"s));
    server.Route("/gone", LocalHttpServer::Status(404));
    CascadeString out("first,");
    EUtils::GetHTTPData(server.Url("/nul").c_str(), out);
    EUtils::GetHTTPData(server.Url("/gone").c_str(), out);
    EUtils::GetHTTPData(nullptr, out);
    EXPECT_EQ(out.Std(), "first," + std::string(3000, 'x') + "\0cd"s);
}

}  // namespace

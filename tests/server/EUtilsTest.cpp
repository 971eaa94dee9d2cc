#include "server/EUtils.h"

#include "support/LocalHttpServer.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

using namespace std::string_literals;

TEST(EUtilsText, ReplaceString) {
    struct Case {
        const char *source, *find, *replace, *out;
    } const cases[] = {
        {"aaa", "a", "bb", "bbbbbb"},           {"a b c", " ", " ", "a b c"},  // find equal to replace
        {"a.b", ".", "..", "a..b"},              // the replacement is not scanned again
        {"%20x%20", "%20", " ", " x "},          {"abc", "%20", " ", "abc"},
        {"a--b--", "--", "", "ab"},              {"a--b--", "--", nullptr, "ab"},
        {"", "a", "b", ""},                      {nullptr, "a", "b", ""},
        {"abc", "", "x", "abc"},                 {"abc", nullptr, "x", "abc"},
    };
    for (const Case& c : cases) {
        CascadeString out("stale");
        EUtils::ReplaceString(c.source, c.find, c.replace, out);
        EXPECT_EQ(out, c.out) << (c.source ? c.source : "(null)") << " / " << (c.find ? c.find : "(null)");
    }
    const std::string huge(1 << 20, 'a');
    CascadeString out;
    EUtils::ReplaceString(huge.c_str(), "a", "bc", out);
    EXPECT_EQ(out.GetLength(), std::size_t(2) << 20);
}

TEST(EUtilsText, UrlDecode) {
    struct Case {
        const char* source;
        std::string out;
    } const cases[] = {
        {"Rock%20%26+Roll", "Rock & Roll"},
        {"%41%4", "A\x04"s},           // a cut-off escape at the end uses what is there
        {"ab%", "ab\0"s},              // "%" at the very end gives byte 0
        {"%4G!", "\x04!"s},            // invalid digits stop the number, the pair is used up
        {"%G4x", "\0x"s},
        {"%%41", "\0" "1"s},
        {"caf%c3%a9", "caf\xC3\xA9"},  // lower-case hex
        {"%FF", "\xFF"s},
        {"Bj\xC3\xB6rk", "Bj\xC3\xB6rk"},  // raw non-ASCII passes through
        {"", ""},
        {nullptr, ""},
    };
    for (const Case& c : cases) {
        CascadeString out("stale");
        EUtils::UrlDecode(c.source, out);
        EXPECT_EQ(out.Std(), c.out) << (c.source ? c.source : "(null)");
    }
}

TEST(EUtilsText, UrlEncodeEscapesLikeTheServerAndRoundTripsEveryByte) {
    struct Case {
        std::string source;
        const char* out;
    } const cases[] = {
        {"genre:Rock & Roll", "genre%3ARock%20%26%20Roll"},
        {"AZaz09-._~", "AZaz09-._~"},
        {"caf\xC3\xA9", "caf%C3%A9"},
        {"\0\n+%"s, "%00%0A%2B%25"},
    };
    for (const Case& c : cases) {
        CascadeString out("stale");
        EUtils::UrlEncode(c.source, out);
        EXPECT_EQ(out, c.out);
    }
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    CascadeString encoded, decoded;
    EUtils::UrlEncode(all, encoded);
    EUtils::UrlDecode(encoded.c_str(), decoded);
    EXPECT_EQ(decoded.Std(), all);
}

TEST(EUtilsText, ParseDecimal) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    struct Case {
        std::string_view text;
        int64_t value;
    } const cases[] = {
        {"42abc", 42},   {"9090", 9090},     {"1.5", 1},    {"", 0},   {"abc", 0},
        {"-", 0},        {"   ", 0},         {"+-3", 0},    {" \t\n-17", -17},
        {"+8", 8},       {"- 8", 0},         {std::string_view("123456", 3), 123},  // not past the view
        {"9223372036854775807", kMax},       {"9223372036854775808", kMax},
        {"-9223372036854775808", kMin},      {"-9223372036854775809", kMin},
    };
    for (const Case& c : cases) EXPECT_EQ(EUtils::ParseDecimal(c.text), c.value) << c.text;
    EXPECT_EQ(EUtils::ParseDecimal(std::string(5000, '9')), kMax);
}

// Pages that declare ISO-8859-1 reach the parser as UTF-8; others pass as
// they are.
TEST(EUtilsText, XmlToUtf8ConvertsByTheDeclaredEncoding) {
    struct Case {
        std::string page, utf8;
    } const cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Caf\xe9 \xff</a>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>Caf\xc3\xa9 \xc3\xbf</a>"},
        {"<?xml version='1.0' encoding = 'iso-8859-1' ?><a>\xe9</a>",
         "<?xml version='1.0' encoding = 'UTF-8' ?><a>\xc3\xa9</a>"},
        {"<?xml version=\"1.0\" encoding=\"latin1\"?>\xc4", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\xc3\x84"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>Caf\xc3\xa9</a>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>Caf\xc3\xa9</a>"},
        {"<a>Caf\xe9</a>", "<a>Caf\xe9</a>"},  // no declaration: UTF-8, drawn as U+FFFD where broken
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\""},  // cut off
        {"<?xml version=\"1.0\" encoding=\"KOI8-R\"?>\xe9", "<?xml version=\"1.0\" encoding=\"KOI8-R\"?>\xe9"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(EUtils::XmlToUtf8(c.page), c.utf8) << c.page;
}

TEST(EUtilsFiles, GetFileSize) {
    const ScopedTempDir dir;
    ASSERT_TRUE(dir.WriteFile("data.bin", std::string(12345, 'x')));
    ASSERT_TRUE(dir.WriteFile("empty", ""));
    EXPECT_EQ(EUtils::GetFileSize(dir.File("data.bin").c_str()), 12345u);
    EXPECT_EQ(EUtils::GetFileSize(dir.File("empty").c_str()), 0u);
    EXPECT_EQ(EUtils::GetFileSize("/nonexistent/quendrel/none"), 0u);
    EXPECT_EQ(EUtils::GetFileSize(nullptr), 0u);
    EXPECT_EQ(EUtils::GetFileSize(""), 0u);
}

// --- GetHTTPData (against a server on 127.0.0.1) ----------------------------

// A body whose content shows where each byte came from, so a lost, doubled
// or reordered read piece shows up.
std::string NumberedBody(std::size_t size) {
    std::string body;
    for (std::size_t i = 0; body.size() < size; ++i) body += std::to_string(i) + ",";
    body.resize(size);
    return body;
}

TEST(EUtilsGetHTTPData, BodiesAreAppendedWhole) {
    LocalHttpServer server;
    ASSERT_TRUE(server.Start());
    const std::string pieces = NumberedBody(2048 * 3 + 17), chunked = NumberedBody(5000);
    server.Route("/feed.xml", LocalHttpServer::Body(pieces, "text/xml"));
    server.Route("/chunked", LocalHttpServer::Chunked(chunked, 700));
    server.Route("/moved", LocalHttpServer::Redirect(server.Url("/chunked")));
    server.Route("/nul", LocalHttpServer::Body("ab\0cd"s));
    server.Route("/empty", LocalHttpServer::Body(""));
    struct Case {
        const char* path;
        std::string before, after;
    } const cases[] = {
        {"/feed.xml", "", pieces},           // longer than one read piece
        {"/moved", "", chunked},             // redirected to a chunked body
        {"/nul", "first,", "first,ab\0cd"s},  // appended; byte 0 does not cut the piece
        {"/empty", "x", "x"},
    };
    for (const Case& c : cases) {
        CascadeString out(c.before);
        EUtils::GetHTTPData(server.Url(c.path).c_str(), out);
        EXPECT_EQ(out.Std(), c.after) << c.path;
    }
}

TEST(EUtilsGetHTTPData, ErrorStatusOrNoServerLeavesOutputUnchanged) {
    LocalHttpServer server;
    ASSERT_TRUE(server.Start());
    server.Route("/gone", LocalHttpServer::Status(404));
    CascadeString out("kept");
    EUtils::GetHTTPData(server.Url("/gone").c_str(), out);
    const std::string closedPort = server.Url("/x");
    server.Stop();
    EUtils::GetHTTPData(closedPort.c_str(), out);
    EUtils::GetHTTPData(nullptr, out);
    EUtils::GetHTTPData("", out);
    EXPECT_EQ(out, "kept");
}

}  // namespace

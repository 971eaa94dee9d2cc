#include "server/EUtils.h"

#include "support/LocalHttpServer.h"
#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace {

using namespace std::string_literals;

CascadeString Replaced(const char* source, const char* find, const char* replace) {
    CascadeString out("stale");
    EUtils::ReplaceString(source, find, replace, out);
    return out;
}

CascadeString Decoded(const char* source) {
    CascadeString out("stale");
    EUtils::UrlDecode(source, out);
    return out;
}

CascadeString Encoded(std::string_view source) {
    CascadeString out("stale");
    EUtils::UrlEncode(source, out);
    return out;
}

// --- ReplaceString --------------------------------------------------------

TEST(EUtilsReplaceString, ReplacementLongerThanFind) {
    EXPECT_EQ(Replaced("aaa", "a", "bb"), "bbbbbb");
}

TEST(EUtilsReplaceString, FindEqualToReplaceGivesSource) {
    EXPECT_EQ(Replaced("a b c", " ", " "), "a b c");
}

TEST(EUtilsReplaceString, ReplacementContainingFindIsNotRescanned) {
    EXPECT_EQ(Replaced("a.b", ".", ".."), "a..b");
}

TEST(EUtilsReplaceString, OccurrencesAtBothEndsAndNone) {
    EXPECT_EQ(Replaced("%20x%20", "%20", " "), " x ");
    EXPECT_EQ(Replaced("abc", "%20", " "), "abc");
}

TEST(EUtilsReplaceString, RemovalWithEmptyReplacement) {
    EXPECT_EQ(Replaced("a--b--", "--", ""), "ab");
    EXPECT_EQ(Replaced("a--b--", "--", nullptr), "ab");
}

TEST(EUtilsReplaceString, EmptyOrNullInputsAreSafe) {
    EXPECT_EQ(Replaced("", "a", "b"), "");
    EXPECT_EQ(Replaced(nullptr, "a", "b"), "");
    EXPECT_EQ(Replaced("abc", "", "x"), "abc");
    EXPECT_EQ(Replaced("abc", nullptr, "x"), "abc");
}

TEST(EUtilsReplaceString, HugeSource) {
    const std::string source(1 << 20, 'a');
    CascadeString out;
    EUtils::ReplaceString(source.c_str(), "a", "bc", out);
    EXPECT_EQ(out.GetLength(), std::size_t(2) << 20);
}

// --- UrlDecode ----------------------------------------------------------------

TEST(EUtilsUrlDecode, PlusAndEscapes) {
    EXPECT_EQ(Decoded("Rock%20%26+Roll"), "Rock & Roll");
}

TEST(EUtilsUrlDecode, TruncatedEscapeAtTheEndUsesWhatIsThere) {
    EXPECT_EQ(Decoded("%41%4").Std(), "A\x04"s);
}

TEST(EUtilsUrlDecode, PercentAtTheVeryEndGivesByteZero) {
    EXPECT_EQ(Decoded("ab%").Std(), "ab\0"s);
}

TEST(EUtilsUrlDecode, InvalidDigitsStopTheNumberButThePairIsConsumed) {
    EXPECT_EQ(Decoded("%4G!").Std(), "\x04!"s);
    EXPECT_EQ(Decoded("%G4x").Std(), "\0x"s);
    EXPECT_EQ(Decoded("%%41").Std(), std::string("\0"
                                                 "1",
                                                 2));
}

TEST(EUtilsUrlDecode, LowerCaseHexAndHighBytes) {
    EXPECT_EQ(Decoded("caf%c3%a9"), "caf\xC3\xA9");
    EXPECT_EQ(Decoded("%FF").Std(), "\xFF"s);
}

TEST(EUtilsUrlDecode, RawNonAsciiPassesThrough) {
    EXPECT_EQ(Decoded("Bj\xC3\xB6rk"), "Bj\xC3\xB6rk");
}

TEST(EUtilsUrlDecode, ClearsTheOutputAndAcceptsNull) {
    EXPECT_EQ(Decoded(""), "");
    EXPECT_EQ(Decoded(nullptr), "");
}

// --- UrlEncode ------------------------------------------------------------------

TEST(EUtilsUrlEncode, EscapesLikeTheServerWithUpperCaseHex) {
    EXPECT_EQ(Encoded("genre:Rock & Roll"), "genre%3ARock%20%26%20Roll");
}

TEST(EUtilsUrlEncode, KeepsUnreservedAscii) {
    EXPECT_EQ(Encoded("AZaz09-._~"), "AZaz09-._~");
}

TEST(EUtilsUrlEncode, EscapesEveryUtf8ByteAndControlBytes) {
    EXPECT_EQ(Encoded("caf\xC3\xA9"), "caf%C3%A9");
    EXPECT_EQ(Encoded("\0\n+%"s), "%00%0A%2B%25");
}

TEST(EUtilsUrlEncode, RoundTripsThroughDecodeForEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    const CascadeString encoded = Encoded(all);
    CascadeString decoded;
    EUtils::UrlDecode(encoded.c_str(), decoded);
    EXPECT_EQ(decoded.Std(), all);
}

// --- ParseDecimal ------------------------------------------------------------------

TEST(EUtilsParseDecimal, LeadingDigitsOnly) {
    EXPECT_EQ(EUtils::ParseDecimal("42abc"), 42);
    EXPECT_EQ(EUtils::ParseDecimal("9090"), 9090);
    EXPECT_EQ(EUtils::ParseDecimal("1.5"), 1);
}

TEST(EUtilsParseDecimal, NoDigitsGivesZero) {
    EXPECT_EQ(EUtils::ParseDecimal(""), 0);
    EXPECT_EQ(EUtils::ParseDecimal("abc"), 0);
    EXPECT_EQ(EUtils::ParseDecimal("-"), 0);
    EXPECT_EQ(EUtils::ParseDecimal("   "), 0);
    EXPECT_EQ(EUtils::ParseDecimal("+-3"), 0);
}

TEST(EUtilsParseDecimal, BlanksAndSign) {
    EXPECT_EQ(EUtils::ParseDecimal(" \t\n-17"), -17);
    EXPECT_EQ(EUtils::ParseDecimal("+8"), 8);
    EXPECT_EQ(EUtils::ParseDecimal("- 8"), 0);
}

TEST(EUtilsParseDecimal, DoesNotReadPastTheView) {
    const std::string_view view("123456", 3);
    EXPECT_EQ(EUtils::ParseDecimal(view), 123);
}

TEST(EUtilsParseDecimal, SaturatesOutsideTheRange) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    EXPECT_EQ(EUtils::ParseDecimal("9223372036854775807"), kMax);
    EXPECT_EQ(EUtils::ParseDecimal("9223372036854775808"), kMax);
    EXPECT_EQ(EUtils::ParseDecimal("-9223372036854775808"), kMin);
    EXPECT_EQ(EUtils::ParseDecimal("-9223372036854775809"), kMin);
    EXPECT_EQ(EUtils::ParseDecimal(std::string(5000, '9')), kMax);
}

// --- GetFileSize -------------------------------------------------------------------

TEST(EUtilsGetFileSize, SizeOfAWrittenFile) {
    const ScopedTempDir dir;
    ASSERT_TRUE(dir.WriteFile("data.bin", std::string(12345, 'x')));
    EXPECT_EQ(EUtils::GetFileSize(dir.File("data.bin").c_str()), 12345u);
    ASSERT_TRUE(dir.WriteFile("empty", ""));
    EXPECT_EQ(EUtils::GetFileSize(dir.File("empty").c_str()), 0u);
}

TEST(EUtilsGetFileSize, MissingFileOrNullIsZero) {
    EXPECT_EQ(EUtils::GetFileSize("/nonexistent/quendrel/none"), 0u);
    EXPECT_EQ(EUtils::GetFileSize(nullptr), 0u);
    EXPECT_EQ(EUtils::GetFileSize(""), 0u);
}

// --- GetHTTPData (against a server on 127.0.0.1) ----------------------------

// A body of `size` bytes whose content shows where each byte came from, so a
// lost, doubled or reordered read piece shows up.
std::string NumberedBody(std::size_t size) {
    std::string body;
    for (std::size_t i = 0; body.size() < size; ++i) body += std::to_string(i) + ",";
    body.resize(size);
    return body;
}

class EUtilsGetHTTPData : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start()); }
    LocalHttpServer m_server;
};

TEST_F(EUtilsGetHTTPData, ReadsABodyLongerThanOneReadPiece) {
    const std::string body = NumberedBody(2048 * 3 + 17);
    m_server.Route("/feed.xml", LocalHttpServer::Body(body, "text/xml"));
    CascadeString out;
    EUtils::GetHTTPData(m_server.Url("/feed.xml").c_str(), out);
    EXPECT_EQ(out.Std(), body);
}

TEST_F(EUtilsGetHTTPData, AppendsToWhatIsAlreadyThere) {
    m_server.Route("/a", LocalHttpServer::Body("second"));
    CascadeString out("first,");
    EUtils::GetHTTPData(m_server.Url("/a").c_str(), out);
    EXPECT_EQ(out, "first,second");
}

TEST_F(EUtilsGetHTTPData, ChunkedAndRedirectedBodies) {
    const std::string body = NumberedBody(5000);
    m_server.Route("/chunked", LocalHttpServer::Chunked(body, 700));
    m_server.Route("/moved", LocalHttpServer::Redirect(m_server.Url("/chunked")));
    CascadeString out;
    EUtils::GetHTTPData(m_server.Url("/moved").c_str(), out);
    EXPECT_EQ(out.Std(), body);
}

TEST_F(EUtilsGetHTTPData, ByteZeroInTheBodyDoesNotCutThePiece) {
    const std::string body("ab\0cd", 5);
    m_server.Route("/nul", LocalHttpServer::Body(body));
    CascadeString out;
    EUtils::GetHTTPData(m_server.Url("/nul").c_str(), out);
    EXPECT_EQ(out.Std(), body);
}

TEST_F(EUtilsGetHTTPData, ErrorStatusOrNoServerLeavesOutputUnchanged) {
    m_server.Route("/gone", LocalHttpServer::Status(404));
    CascadeString out("kept");
    EUtils::GetHTTPData(m_server.Url("/gone").c_str(), out);
    EXPECT_EQ(out, "kept");
    const std::string closedPort = m_server.Url("/x");
    m_server.Stop();
    EUtils::GetHTTPData(closedPort.c_str(), out);
    EXPECT_EQ(out, "kept");
    EUtils::GetHTTPData(nullptr, out);
    EUtils::GetHTTPData("", out);
    EXPECT_EQ(out, "kept");
}

TEST_F(EUtilsGetHTTPData, EmptyBodyAddsNothing) {
    m_server.Route("/empty", LocalHttpServer::Body(""));
    CascadeString out("x");
    EUtils::GetHTTPData(m_server.Url("/empty").c_str(), out);
    EXPECT_EQ(out, "x");
}

}  // namespace

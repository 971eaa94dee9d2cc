#include "platform/CascadeHTTPStream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <random>
#include <string>
#include <thread>

#include "support/LocalHttpServer.h"

namespace {

using Error = CascadeHTTPStream::Error;

std::string Pattern(std::size_t size, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(random() & 0xFF);
    return bytes;
}

// Everything the stream yields until a read returns 0, in pieces of `piece`.
std::string ReadAll(CascadeHTTPStream& stream, std::size_t piece = 4096) {
    std::string out;
    std::string buffer(piece, '\0');
    for (long n; (n = stream.ReadBytes(buffer.data(), buffer.size())) > 0;) out.append(buffer.data(), std::size_t(n));
    return out;
}

class CascadeHTTPStreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start()); }
    std::string Url(const char* path) const { return m_server.Url(path); }

    LocalHttpServer m_server;
    CascadeHTTPStream m_stream;
};

// --- bodies and their sizes ---

// Each framing yields the whole body; the size is the announced length (0
// when none is announced).
TEST_F(CascadeHTTPStreamTest, EveryFramingYieldsTheWholeBody) {
    const struct {
        const char* path;
        LocalHttpServer::Response response;
        std::string body;
        uint64_t size;
        std::size_t piece;
    } cases[] = {
        {"/fixed", LocalHttpServer::Body(Pattern(10000), "audio/mpeg"), Pattern(10000), 10000, 4096},
        {"/chunked", LocalHttpServer::Chunked(Pattern(25000), 777), Pattern(25000), 0, 1000},
        {"/empty", LocalHttpServer::Body(""), "", 0, 1},
        {"/trickled", LocalHttpServer::Trickle(Pattern(2000), 100, 5), Pattern(2000), 2000, 4096},
    };
    for (const auto& c : cases) {
        m_server.Route(c.path, c.response);
        CascadeHTTPStream stream;
        ASSERT_TRUE(stream.Open(Url(c.path).c_str())) << c.path;
        EXPECT_EQ(stream.GetSize(), c.size) << c.path;
        EXPECT_TRUE(ReadAll(stream, c.piece) == c.body) << c.path;
        EXPECT_EQ(stream.GetPosition(), c.body.size()) << c.path;
        EXPECT_EQ(stream.GetLastError(), Error::None) << c.path;
    }
    m_server.Route("/typed", LocalHttpServer::Body("x", "audio/mpeg"));
    ASSERT_TRUE(m_stream.Open(Url("/typed").c_str()));
    EXPECT_EQ(m_stream.GetContentType(), "audio/mpeg");
}

TEST_F(CascadeHTTPStreamTest, LargeBodyComesThroughThePausedTransferByteExact) {
    // Far more than the stream buffers, read in small odd pieces so the
    // transfer is held and resumed many times.
    const std::string body = Pattern(6 * 1024 * 1024 + 13, 99);
    m_server.Route("/big", LocalHttpServer::Body(body));
    ASSERT_TRUE(m_stream.Open(Url("/big").c_str()));
    const std::string got = ReadAll(m_stream, 1237);
    ASSERT_EQ(got.size(), body.size());
    EXPECT_TRUE(got == body) << "bytes differ";
}

TEST_F(CascadeHTTPStreamTest, ReadReturnsWhatHasArrivedWithoutWaitingForTheRest) {
    m_server.Route("/held", LocalHttpServer::Stalling(Pattern(5000), 100));
    ASSERT_TRUE(m_stream.Open(Url("/held").c_str()));
    char buffer[4096];
    long total = 0;
    while (total < 100) {
        const long n = m_stream.ReadBytes(buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        total += n;
    }
    EXPECT_EQ(total, 100);
}

// --- opening ---

TEST_F(CascadeHTTPStreamTest, RedirectIsFollowed) {
    m_server.Route("/old", LocalHttpServer::Redirect("/new"));
    m_server.Route("/new", LocalHttpServer::Body("moved here"));
    ASSERT_TRUE(m_stream.Open(Url("/old").c_str()));
    EXPECT_EQ(ReadAll(m_stream), "moved here");
    EXPECT_EQ(m_server.RequestCount("/new"), 1u);
}

// A failed open leaves no stream: reads give nothing and seeks are refused.
TEST_F(CascadeHTTPStreamTest, OpenFailuresLeaveNoStream) {
    m_server.Route("/a", LocalHttpServer::Redirect("/b"));  // a loop
    m_server.Route("/b", LocalHttpServer::Redirect("/a"));
    m_server.Route("/boom", LocalHttpServer::Status(500));
    const std::string refused = Url("/x");
    auto expectNoStream = [&](const char* url, const char* label) {
        EXPECT_FALSE(m_stream.Open(url)) << label;
        EXPECT_FALSE(m_stream.IsOpen()) << label;
        char byte = 0;
        EXPECT_EQ(m_stream.ReadBytes(&byte, 1), 0) << label;
        EXPECT_FALSE(m_stream.SeekToPosition(10)) << label;
    };
    for (const char* path : {"/a", "/missing", "/boom"}) {
        expectNoStream(Url(path).c_str(), path);
        EXPECT_EQ(m_stream.GetLastError(), Error::OpenFailed) << path;
    }
    // Addresses that are not HTTP are refused without a request.
    for (const char* url : {"", "file:///etc/passwd", "no scheme at all"}) expectNoStream(url, url);
    expectNoStream(nullptr, "null");
    m_server.Stop();
    expectNoStream(refused.c_str(), "refused connection");
    EXPECT_EQ(m_stream.GetLastError(), Error::OpenFailed);
}

// --- stalls and abort ---

TEST_F(CascadeHTTPStreamTest, StallEndsReadsWithZeroAndAnError) {
    const std::string body = Pattern(5000);
    m_server.Route("/stall", LocalHttpServer::Stalling(body, 300));
    m_stream.SetStallTimeout(200);
    ASSERT_TRUE(m_stream.Open(Url("/stall").c_str()));
    EXPECT_EQ(ReadAll(m_stream), body.substr(0, 300));
    EXPECT_EQ(m_stream.GetLastError(), Error::Stalled);
    char byte = 0;
    EXPECT_EQ(m_stream.ReadBytes(&byte, 1), 0) << "a stall is final";
}

TEST_F(CascadeHTTPStreamTest, AbortFromAnotherThreadUnblocksARead) {
    m_server.Route("/stall", LocalHttpServer::Stalling(Pattern(5000), 10));
    ASSERT_TRUE(m_stream.Open(Url("/stall").c_str()));
    char buffer[64];
    long first = 0;
    while (first < 10) first += m_stream.ReadBytes(buffer, sizeof buffer);

    std::atomic<long> result{-1};
    std::thread reader([&] { result = m_stream.ReadBytes(buffer, sizeof buffer); });
    m_stream.Abort();
    reader.join();
    EXPECT_EQ(result.load(), 0);
    // With the default 30 s stall time-out, only Abort can have ended it.
    EXPECT_EQ(m_stream.GetLastError(), Error::Aborted);
}

// Cancel ends an Open that waits for headers that never come, and every
// later Open fails at once without a request: the stream's owner is leaving.
// A Cancel before any Open does the same.
TEST_F(CascadeHTTPStreamTest, CancelEndsAWaitingOpenAndRefusesLaterOnes) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    m_server.Route("/held", [released](const LocalHttpServer::Request&) {
        released.wait_for(std::chrono::seconds(60));
        return LocalHttpServer::Body("late");
    });
    m_server.Route("/song", LocalHttpServer::Body("tune"));
    std::future<bool> opened = std::async(std::launch::async, [&] { return m_stream.Open(Url("/held").c_str()); });
    for (int i = 0; i < 500 && m_server.RequestCount("/held") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(m_server.RequestCount("/held"), 1u);
    m_stream.Cancel();
    // The stall time-out is 30 s; only Cancel can end the Open within 10.
    ASSERT_EQ(opened.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(opened.get());
    EXPECT_EQ(m_stream.GetLastError(), Error::Aborted);
    release.set_value();

    CascadeHTTPStream early;
    early.Cancel();
    for (CascadeHTTPStream* stream : {&m_stream, &early}) {
        EXPECT_FALSE(stream->Open(Url("/song").c_str()));
        EXPECT_EQ(stream->GetLastError(), Error::Aborted);
    }
    EXPECT_EQ(m_server.RequestCount("/song"), 0u);
}

// --- seeking ---

// A ranged resource seeks anywhere inside it (the size stays the whole
// resource's); past its end, or on a server without ranges, a seek is
// refused and the stream goes on where it was.
TEST_F(CascadeHTTPStreamTest, SeekAsksForARangeAndARefusedOneLeavesTheStreamWhereItWas) {
    const std::string body = Pattern(50000);
    m_server.Route("/file", LocalHttpServer::Ranged(body));
    m_server.Route("/plain", LocalHttpServer::Body(body));
    ASSERT_TRUE(m_stream.Open(Url("/file").c_str()));
    EXPECT_FALSE(m_stream.SeekToPosition(50000));
    EXPECT_FALSE(m_stream.SeekToPosition(90000));
    EXPECT_EQ(m_stream.GetPosition(), 0u);
    char buffer[10];
    ASSERT_EQ(m_stream.ReadBytes(buffer, sizeof buffer), 10);
    ASSERT_TRUE(m_stream.SeekToPosition(40000));
    EXPECT_EQ(m_stream.GetPosition(), 40000u);
    EXPECT_EQ(m_stream.GetSize(), 50000u);
    EXPECT_EQ(ReadAll(m_stream), body.substr(40000));
    ASSERT_TRUE(m_stream.SeekToPosition(0));
    EXPECT_EQ(ReadAll(m_stream), body);

    // Closed and opened again on another resource, it starts from its beginning.
    EXPECT_TRUE(m_stream.Close());
    ASSERT_TRUE(m_stream.Open(Url("/plain").c_str()));
    EXPECT_EQ(m_stream.GetPosition(), 0u);
    std::string got(100, '\0');
    long n = 0;
    while (n < 100) n += m_stream.ReadBytes(got.data() + n, std::size_t(100 - n));
    EXPECT_FALSE(m_stream.SeekToPosition(5000));
    EXPECT_EQ(m_stream.GetPosition(), 100u);
    got += ReadAll(m_stream);
    EXPECT_TRUE(got == body);
}

}  // namespace

#include "platform/CascadeHTTPStream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <random>
#include <string>
#include <thread>

#include "support/LocalHttpServer.h"

namespace {

using Error = CascadeHTTPStream::Error;

std::string Pattern(std::size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(random() & 0xFF);
    return bytes;
}

// Everything the stream yields until a read returns 0, in pieces of `piece`.
std::string ReadAll(CascadeHTTPStream& stream, std::size_t piece = 4096) {
    std::string out, buffer(piece, '\0');
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

// Each framing yields the whole body; the size is the announced length (0
// when none is announced); a redirect is followed.
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
        {"/old", LocalHttpServer::Redirect("/fixed"), Pattern(10000), 10000, 4096},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        m_server.Route(c.path, c.response);
        CascadeHTTPStream stream;
        ASSERT_TRUE(stream.Open(Url(c.path).c_str()));
        EXPECT_EQ(stream.GetSize(), c.size);
        EXPECT_TRUE(ReadAll(stream, c.piece) == c.body);
        EXPECT_EQ(stream.GetPosition(), c.body.size());
        EXPECT_EQ(stream.GetLastError(), Error::None);
    }
    EXPECT_EQ(m_server.RequestCount("/fixed"), 2u);
}

// A failed open leaves no stream: reads give nothing and seeks are refused.
TEST_F(CascadeHTTPStreamTest, OpenFailuresLeaveNoStream) {
    m_server.Route("/a", LocalHttpServer::Redirect("/b"));  // a loop
    m_server.Route("/b", LocalHttpServer::Redirect("/a"));
    m_server.Route("/boom", LocalHttpServer::Status(500));
    const std::string refused = Url("/x");
    auto expectNoStream = [&](const char* url) {
        SCOPED_TRACE(url ? url : "null");
        EXPECT_FALSE(m_stream.Open(url));
        EXPECT_FALSE(m_stream.IsOpen());
        char byte = 0;
        EXPECT_EQ(m_stream.ReadBytes(&byte, 1), 0);
        EXPECT_FALSE(m_stream.SeekToPosition(10));
    };
    for (const char* path : {"/a", "/missing", "/boom"}) {
        expectNoStream(Url(path).c_str());
        EXPECT_EQ(m_stream.GetLastError(), Error::OpenFailed) << path;
    }
    // Addresses that are not HTTP are refused without a request.
    for (const char* url : {"", "file:///etc/passwd", "no scheme at all", static_cast<const char*>(nullptr)})
        expectNoStream(url);
    m_server.Stop();
    expectNoStream(refused.c_str());
    EXPECT_EQ(m_stream.GetLastError(), Error::OpenFailed);
}

// A stall longer than the time-out ends the stream for good.
TEST_F(CascadeHTTPStreamTest, AStallEndsTheStream) {
    const std::string body = Pattern(5000);
    m_server.Route("/stall", LocalHttpServer::Stalling(body, 300));
    m_stream.SetStallTimeout(200);
    ASSERT_TRUE(m_stream.Open(Url("/stall").c_str()));
    EXPECT_EQ(ReadAll(m_stream), body.substr(0, 300));
    EXPECT_EQ(m_stream.GetLastError(), Error::Stalled);
    char byte = 0;
    EXPECT_EQ(m_stream.ReadBytes(&byte, 1), 0) << "a stall is final";
}

// Cancel ends an Open that waits for headers that never come, and every
// later Open fails at once without a request: the stream's owner is leaving.
TEST_F(CascadeHTTPStreamTest, CancelEndsAWaitingOpenAndRefusesLaterOnes) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    m_server.Route("/held", [released](const LocalHttpServer::Request&) {
        released.wait_for(std::chrono::seconds(60));
        return LocalHttpServer::Body("late");
    });
    std::future<bool> opened = std::async(std::launch::async, [&] { return m_stream.Open(Url("/held").c_str()); });
    for (int i = 0; i < 500 && m_server.RequestCount("/held") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    m_stream.Cancel();
    // The stall time-out is 30 s; only Cancel can end the Open within 10.
    ASSERT_EQ(opened.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(opened.get());
    EXPECT_EQ(m_stream.GetLastError(), Error::Aborted);
    release.set_value();
    EXPECT_FALSE(m_stream.Open(Url("/held").c_str()));
    EXPECT_EQ(m_stream.GetLastError(), Error::Aborted);
    EXPECT_EQ(m_server.RequestCount("/held"), 1u);
}

}  // namespace

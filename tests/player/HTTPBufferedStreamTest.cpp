#include "player/HTTPBufferedStream.h"

#include "app/base/AppSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "support/LocalHttpServer.h"

namespace {

std::string Pattern(std::size_t size, unsigned seed = 11) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(random() & 0xFF);
    return bytes;
}

class CountingClient : public HTTPBufferedStream::Client {
public:
    void OnBufferUnderrun() override { ++underruns; }
    void OnBufferFull() override { ++fulls; }
    void OnBufferClosed(void*) override { ++closes; }
    void OnReadComplete() override { ++completes; }

    std::atomic<int> underruns{0}, fulls{0}, closes{0}, completes{0};
};

class HTTPBufferedStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        g_addWaveHeader = 1;
    }
    void TearDown() override { g_addWaveHeader = 1; }

    // Waits (bounded) until the fill thread has finished with the body.
    void WaitForBody(HTTPBufferedStream& stream) {
        for (int i = 0; i < 2000 && stream.IsFilling(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_FALSE(stream.IsFilling());
    }
    std::string Read(HTTPBufferedStream& stream, std::size_t count) {
        std::string out(count, '\0');
        const long n = stream.ReadBytes(out.data(), count);
        out.resize(n > 0 ? std::size_t(n) : 0);
        return out;
    }

    LocalHttpServer m_server;
    CountingClient m_client;
};

// --- the WAV header in front of raw PCM ---

// Only raw PCM asked with a header, and only while headers are on, starts
// with the WAV header; the body follows whole.
TEST_F(HTTPBufferedStreamTest, TheWaveHeaderGoesInFrontOfPcmOnlyWhenAskedAndOn) {
    const std::string body = Pattern(1000);
    const auto header = HTTPBufferedStream::MakeWaveHeader();
    const std::string withHeader = std::string(header.begin(), header.end()) + body;
    m_server.Route("/pcm", LocalHttpServer::Body(body));
    const struct {
        bool ask;
        int setting;
        const std::string& expected;
    } cases[] = {{true, 1, withHeader}, {true, 0, body}, {false, 1, body}};
    for (const auto& c : cases) {
        g_addWaveHeader = c.setting;
        HTTPBufferedStream stream(&m_client);
        ASSERT_TRUE(stream.Open(m_server.Url("/pcm").c_str(), c.ask));
        WaitForBody(stream);
        EXPECT_EQ(stream.GetWriteCount(), c.expected.size()) << c.ask << c.setting;
        EXPECT_TRUE(Read(stream, 5000) == c.expected) << c.ask << c.setting;
    }
}

TEST_F(HTTPBufferedStreamTest, WaveHeaderFieldsAreLittleEndianWithByteRateLeftZero) {
    const auto h = HTTPBufferedStream::MakeWaveHeader();
    EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(h.begin() + 36, h.begin() + 40), "data");
    EXPECT_EQ(h[22], 2);                                   // channels
    EXPECT_EQ(h[24] | h[25] << 8 | h[26] << 16, 44100);    // rate
    EXPECT_EQ(h[28] | h[29] | h[30] | h[31], 0);           // byte rate
    EXPECT_EQ(h[32], 4);
    EXPECT_EQ(h[34], 16);
    EXPECT_EQ(h[40] & h[41] & h[42] & h[43], 0xFF);
}

// --- reading the ring ---

// A ring whose counts start near its end, or near where they wrap past
// 4 GiB, keeps fullness and order across both.
TEST_F(HTTPBufferedStreamTest, ReadsAcrossTheRingsEndAndCountsWrappingKeepFullnessAndOrder) {
    const std::string body = Pattern(30000);
    m_server.Route("/a", LocalHttpServer::Body(body));
    for (const uint32_t initial : {uint32_t(HTTPBufferedStream::kRingSize - 7000), 0xFFFFFFFFu - 9999u}) {
        HTTPBufferedStream stream(&m_client);
        stream.SetInitialCount(initial);
        ASSERT_TRUE(stream.Open(m_server.Url("/a").c_str(), false));
        WaitForBody(stream);
        EXPECT_EQ(stream.GetBufferFullness(), 30000u) << initial;
        std::string got = Read(stream, 12345);
        got += Read(stream, 30000);
        EXPECT_EQ(got, body) << initial;
        EXPECT_EQ(stream.GetBufferFullness(), 0u) << initial;
    }
}

TEST_F(HTTPBufferedStreamTest, ABodyLargerThanTheRingArrivesWhole) {
    const std::string body = Pattern(3 * HTTPBufferedStream::kRingSize + 123);
    m_server.Route("/big", LocalHttpServer::Body(body));
    HTTPBufferedStream stream(&m_client);
    ASSERT_TRUE(stream.Open(m_server.Url("/big").c_str(), false));
    std::string got;
    for (std::string piece; !(piece = Read(stream, 50000)).empty();) got += piece;
    EXPECT_EQ(got.size(), body.size());
    EXPECT_TRUE(got == body);
    EXPECT_EQ(m_client.completes, 1);
}

// --- the end of the body and stalls ---

// A short read returns what is waiting at once; after the end each empty
// read reports one underrun and returns at once; Close zeroes the counts.
TEST_F(HTTPBufferedStreamTest, AfterTheEndEachEmptyReadReportsOneUnderrunAndCloseZeroesTheCounts) {
    m_server.Route("/a", LocalHttpServer::Body(Pattern(3000)));
    HTTPBufferedStream stream(&m_client);
    ASSERT_TRUE(stream.Open(m_server.Url("/a").c_str(), false));
    WaitForBody(stream);
    EXPECT_EQ(Read(stream, 10000).size(), 3000u);
    EXPECT_EQ(stream.GetBytesRequested(), 10000u);
    EXPECT_EQ(stream.GetBytesDelivered(), 3000u);
    EXPECT_EQ(m_client.underruns, 0);
    EXPECT_EQ(m_client.completes, 1);
    EXPECT_EQ(Read(stream, 1000).size(), 0u);
    EXPECT_EQ(m_client.underruns, 1);
    EXPECT_EQ(Read(stream, 1000).size(), 0u);
    EXPECT_EQ(m_client.underruns, 2);
    EXPECT_EQ(stream.GetWriteCount(), 3000u);
    EXPECT_TRUE(stream.Close());
    EXPECT_EQ(stream.GetWriteCount(), 0u);
    EXPECT_EQ(stream.GetBufferFullness(), 0u);
    EXPECT_EQ(m_client.closes, 1);
}

TEST_F(HTTPBufferedStreamTest, StopFillingReleasesAReaderWaitingOnAStalledBody) {
    const std::string body = Pattern(50000);
    m_server.Route("/stall", LocalHttpServer::Stalling(body, 1000));
    HTTPBufferedStream stream(&m_client);
    ASSERT_TRUE(stream.Open(m_server.Url("/stall").c_str(), false));
    std::atomic<long> total{0};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        char buffer[4096];
        for (long n; (n = stream.ReadBytes(buffer, sizeof buffer)) > 0;) total += n;
        done = true;
    });
    // The reader takes the 1,000 bytes and then waits on the empty ring.
    for (int i = 0; i < 2000 && total < 1000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(total, 1000);
    stream.StopFilling();
    reader.join();
    EXPECT_EQ(total, 1000);
    // Stopping is not the end of the body: the player must not report one.
    EXPECT_EQ(m_client.completes, 0);
    EXPECT_TRUE(stream.Close());
    EXPECT_EQ(m_client.closes, 1);
}

TEST_F(HTTPBufferedStreamTest, AFailedOpenGivesNoRingAndReadsNothing) {
    HTTPBufferedStream stream(&m_client);
    EXPECT_FALSE(stream.Open(m_server.Url("/missing").c_str(), true));
    char buffer[16];
    EXPECT_EQ(stream.ReadBytes(buffer, sizeof buffer), 0);
    EXPECT_EQ(stream.GetWriteCount(), 0u);
}

}  // namespace

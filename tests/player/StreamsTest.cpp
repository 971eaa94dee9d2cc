#include "player/PlayerStreams.h"

#include "app/base/AppSettings.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <set>
#include <string>
#include <thread>

namespace {

std::string Pattern(std::size_t size) {
    std::mt19937 random(11);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(random() & 0xFF);
    return bytes;
}

class CountingClient : public HTTPBufferedStream::Client {
public:
    void OnBufferUnderrun() override { ++underruns; }
    void OnBufferFull() override {}
    void OnBufferClosed(void*) override { ++closes; }
    void OnReadComplete() override { ++completes; }

    std::atomic<int> underruns{0}, closes{0}, completes{0};
};

// A local server for the streams: "/ok" opens (and holds the line, so the
// stream stays open), an unknown path is a 404 and does not open.
class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_server.Route("/ok", LocalHttpServer::Stalling(std::string(4096, 'x'), 100));
        ASSERT_TRUE(m_server.Start());
    }
    void TearDown() override {
        m_streams.ReleaseAll(m_released);
        g_addWaveHeader = 1;
    }

    // Opens `path` and waits (bounded) until the fill thread has the whole body.
    void OpenWhole(HTTPBufferedStream& stream, const char* path, bool wave = false) {
        ASSERT_TRUE(stream.Open(m_server.Url(path).c_str(), wave));
        for (int i = 0; i < 2000 && stream.IsFilling(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_FALSE(stream.IsFilling());
    }
    std::string Read(HTTPBufferedStream& stream, std::size_t count) {
        std::string out(count, '\0');
        out.resize(std::size_t(std::max(stream.ReadBytes(out.data(), count), 0L)));
        return out;
    }
    PlayerStreams::StreamPtr Make(bool opens) {
        auto stream = std::make_unique<HTTPBufferedStream>(&m_client);
        EXPECT_EQ(stream->Open(m_server.Url(opens ? "/ok" : "/missing").c_str(), false), opens);
        return stream;
    }

    CountingClient m_client;
    LocalHttpServer m_server;
    ReleasedStreams m_released;
    PlayerStreams m_streams;
};
using HTTPBufferedStreamTest = StreamTest;
using PlayerStreamsTest = StreamTest;

// Only raw PCM asked with a header, and only while headers are on, starts
// with the WAV header; the body follows whole.
TEST_F(HTTPBufferedStreamTest, TheWaveHeaderGoesInFrontOfPcmOnlyWhenAskedAndOn) {
    const std::string body = Pattern(1000);
    const auto header = HTTPBufferedStream::MakeWaveHeader();
    const std::string withHeader = std::string(header.begin(), header.end()) + body;
    m_server.Route("/pcm", LocalHttpServer::Body(body));
    for (const auto& [ask, setting, expected] :
         {std::tuple(true, 1, withHeader), std::tuple(true, 0, body), std::tuple(false, 1, body)}) {
        g_addWaveHeader = setting;
        HTTPBufferedStream stream(&m_client);
        OpenWhole(stream, "/pcm", ask);
        EXPECT_TRUE(Read(stream, 5000) == expected) << ask << setting;
    }
}

// A ring whose counts start near its end, or near where they wrap past
// 4 GiB, keeps fullness and order across both. A short read returns what is
// waiting at once; after the end each empty read reports one underrun and
// returns at once; Close zeroes the counts.
TEST_F(HTTPBufferedStreamTest, ReadsAcrossTheRingsEndAndTheCountsWrapThenUnderrunOncePerEmptyRead) {
    const std::string body = Pattern(30000);
    m_server.Route("/a", LocalHttpServer::Body(body));
    for (const uint32_t initial : {uint32_t(HTTPBufferedStream::kRingSize - 7000), 0xFFFFFFFFu - 9999u}) {
        SCOPED_TRACE(initial);
        m_client.underruns = m_client.completes = m_client.closes = 0;
        HTTPBufferedStream stream(&m_client);
        stream.SetInitialCount(initial);
        OpenWhole(stream, "/a");
        EXPECT_EQ(stream.GetBufferFullness(), 30000u);
        EXPECT_EQ(m_client.completes, 1);
        std::string got = Read(stream, 12345);
        got += Read(stream, 30000);
        EXPECT_TRUE(got == body);
        EXPECT_EQ(m_client.underruns, 0);
        const auto start = std::chrono::steady_clock::now();  // the end needs no wait
        EXPECT_EQ(Read(stream, 1000).size(), 0u);
        EXPECT_EQ(Read(stream, 1000).size(), 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
        EXPECT_EQ(m_client.underruns, 2);
        EXPECT_TRUE(stream.Close());
        EXPECT_EQ(stream.GetWriteCount(), 0u);
        EXPECT_EQ(stream.GetBufferFullness(), 0u);
        EXPECT_EQ(m_client.closes, 1);
    }
}

TEST_F(HTTPBufferedStreamTest, StopFillingReleasesAReaderWaitingOnAStalledBody) {
    m_server.Route("/stall", LocalHttpServer::Stalling(Pattern(50000), 1000));
    HTTPBufferedStream stream(&m_client);
    ASSERT_TRUE(stream.Open(m_server.Url("/stall").c_str(), false));
    std::atomic<long> total{0};
    std::thread reader([&] {
        char buffer[4096];
        for (long n; (n = stream.ReadBytes(buffer, sizeof buffer)) > 0;) total += n;
    });
    // The reader takes the 1,000 bytes and then waits on the empty ring.
    for (int i = 0; i < 2000 && total < 1000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    stream.StopFilling();
    reader.join();
    EXPECT_EQ(total, 1000);
    // Stopping is not the end of the body: the player must not report one.
    EXPECT_EQ(m_client.completes, 0);
}

TEST_F(PlayerStreamsTest, TakeFirstOpenSkipsAndReleasesTheStreamsBeforeItOnly) {
    m_streams.AddPending(Make(false));
    HTTPBufferedStream* open = m_streams.AddPending(Make(true));
    HTTPBufferedStream* later = m_streams.AddPending(Make(true));
    m_streams.AddPending(Make(false));
    PlayerStreams::StreamPtr taken = m_streams.TakeFirstOpen(m_released);
    EXPECT_EQ(taken.get(), open);
    EXPECT_EQ(m_released.Count(), 1u);
    EXPECT_TRUE(m_streams.Owns(later));
    m_released.Add(std::move(taken));
    taken = m_streams.TakeFirstOpen(m_released);
    EXPECT_EQ(taken.get(), later);
    m_released.Add(std::move(taken));
    // Behind `later` no stream opens: the rest goes and nothing is taken.
    EXPECT_EQ(m_streams.TakeFirstOpen(m_released), nullptr);
    EXPECT_EQ(m_released.Count(), 4u);
    EXPECT_FALSE(m_streams.HasPending());
}

// A replaced stream stays alive while the audio player may still read it
// (it plays out before the next one), and goes once it is done; ReleaseAll
// lets go of the current, retired and pending ones.
TEST_F(PlayerStreamsTest, AReplacedStreamIsKeptWhileStillReadAndAllGoAtTheEnd) {
    std::set<const HTTPBufferedStream*> queued;  // what the audio player "still reads"
    const PlayerStreams::StillRead stillRead = [&](const HTTPBufferedStream* s) { return queued.count(s) > 0; };
    PlayerStreams::StreamPtr first = Make(true);
    HTTPBufferedStream* firstRaw = first.get();
    queued.insert(firstRaw);
    m_streams.MakeCurrent(std::move(first), stillRead, m_released);
    m_streams.MakeCurrent(Make(true), stillRead, m_released);
    EXPECT_EQ(m_released.Count(), 0u);
    EXPECT_TRUE(m_streams.Owns(firstRaw));
    queued.clear();
    m_streams.MakeCurrent(Make(true), stillRead, m_released);
    EXPECT_EQ(m_released.Count(), 2u);  // the first and the one the third replaced
    EXPECT_FALSE(m_streams.Owns(firstRaw));

    queued.insert(m_streams.Current());
    m_streams.MakeCurrent(Make(true), stillRead, m_released);
    m_streams.AddPending(Make(false));
    m_streams.ReleaseAll(m_released);
    EXPECT_EQ(m_released.Count(), 5u);
    EXPECT_EQ(m_streams.Current(), nullptr);
    EXPECT_FALSE(m_streams.HasPending());

    // Once cancelled, a stream added later cannot block its opener (the
    // player on its way out), until opening is allowed again.
    m_streams.CancelAll();
    EXPECT_FALSE(m_streams.AddPending(std::make_unique<HTTPBufferedStream>(&m_client))
                     ->Open(m_server.Url("/ok").c_str(), false));
    m_streams.AllowOpening();
    EXPECT_TRUE(m_streams.AddPending(std::make_unique<HTTPBufferedStream>(&m_client))
                    ->Open(m_server.Url("/ok").c_str(), false));
}

}  // namespace

#include "player/PlayerStreams.h"

#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

class NullClient : public HTTPBufferedStream::Client {
public:
    void OnBufferUnderrun() override {}
    void OnBufferFull() override {}
    void OnBufferClosed(void*) override {}
    void OnReadComplete() override {}
};

// Streams from a local server: "/ok" opens (and holds the line, so the
// stream stays open), anything else is a 404 and does not.
class PlayerStreamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_web.Route("/ok", LocalHttpServer::Stalling(std::string(4096, 'x'), 100));
        ASSERT_TRUE(m_web.Start());
    }
    void TearDown() override { m_streams.ReleaseAll(m_released); }

    PlayerStreams::StreamPtr Make(bool opens) {
        auto stream = std::make_unique<HTTPBufferedStream>(&m_client);
        EXPECT_EQ(stream->Open(m_web.Url(opens ? "/ok" : "/missing").c_str(), false), opens);
        return stream;
    }

    NullClient m_client;
    LocalHttpServer m_web;
    ReleasedStreams m_released;
    PlayerStreams m_streams;
};

TEST_F(PlayerStreamsTest, TakeFirstOpenSkipsAndReleasesTheStreamsBeforeItOnly) {
    HTTPBufferedStream* failed = m_streams.AddPending(Make(false));
    HTTPBufferedStream* open = m_streams.AddPending(Make(true));
    HTTPBufferedStream* later = m_streams.AddPending(Make(true));
    m_streams.AddPending(Make(false));
    PlayerStreams::StreamPtr taken = m_streams.TakeFirstOpen(m_released);
    EXPECT_EQ(taken.get(), open);
    EXPECT_EQ(m_released.Count(), 1u);
    EXPECT_FALSE(m_streams.Owns(failed));
    EXPECT_TRUE(m_streams.Owns(later));
    EXPECT_FALSE(m_streams.Owns(taken.get()));
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
TEST_F(PlayerStreamsTest, AReplacedStreamIsKeptWhileStillReadAndReleasedAfter) {
    std::set<const HTTPBufferedStream*> queued;  // what the audio player "still reads"
    const PlayerStreams::StillRead stillRead = [&](const HTTPBufferedStream* s) { return queued.count(s) > 0; };
    PlayerStreams::StreamPtr first = Make(true);
    HTTPBufferedStream* firstRaw = first.get();
    queued.insert(firstRaw);
    m_streams.MakeCurrent(std::move(first), stillRead, m_released);
    m_streams.MakeCurrent(Make(true), stillRead, m_released);
    EXPECT_EQ(m_released.Count(), 0u);
    EXPECT_EQ(m_streams.RetiredCount(), 1u);
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
    EXPECT_EQ(m_streams.RetiredCount(), 0u);
}

// Once cancelled, a stream added later cannot block its opener (the player
// on its way out), until opening is allowed again.
TEST_F(PlayerStreamsTest, AfterCancelAllNewStreamsFailToOpenUntilAllowed) {
    m_streams.CancelAll();
    EXPECT_FALSE(
        m_streams.AddPending(std::make_unique<HTTPBufferedStream>(&m_client))->Open(m_web.Url("/ok").c_str(), false));
    m_streams.AllowOpening();
    EXPECT_TRUE(
        m_streams.AddPending(std::make_unique<HTTPBufferedStream>(&m_client))->Open(m_web.Url("/ok").c_str(), false));
}

}  // namespace

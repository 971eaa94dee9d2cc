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
    void TearDown() override {
        ReleasedStreams all;
        m_streams.ReleaseAll(all);
    }

    PlayerStreams::StreamPtr Make(bool opened) {
        auto stream = std::make_unique<HTTPBufferedStream>(&m_client);
        const bool open = stream->Open(m_web.Url(opened ? "/ok" : "/missing").c_str(), false);
        EXPECT_EQ(open, opened);
        return stream;
    }

    NullClient m_client;
    LocalHttpServer m_web;
    PlayerStreams m_streams;
    std::set<const HTTPBufferedStream*> m_queued;  // what the audio player "still reads"
    PlayerStreams::StillRead m_stillRead = [this](const HTTPBufferedStream* s) { return m_queued.count(s) > 0; };
};

TEST_F(PlayerStreamsTest, TakeFirstOpenSkipsAndReleasesTheStreamsBeforeItOnly) {
    HTTPBufferedStream* failed = m_streams.AddPending(Make(false));
    HTTPBufferedStream* open = m_streams.AddPending(Make(true));
    HTTPBufferedStream* later = m_streams.AddPending(Make(true));
    m_streams.AddPending(Make(false));
    ReleasedStreams released;
    PlayerStreams::StreamPtr taken = m_streams.TakeFirstOpen(released);
    EXPECT_EQ(taken.get(), open);
    EXPECT_EQ(released.Count(), 1u);
    EXPECT_FALSE(m_streams.Owns(failed));
    EXPECT_TRUE(m_streams.Owns(later));
    EXPECT_FALSE(m_streams.Owns(taken.get()));
    EXPECT_FALSE(m_streams.Owns(nullptr));
    EXPECT_TRUE(m_streams.HasPending());
    released.Add(std::move(taken));
    taken = m_streams.TakeFirstOpen(released);
    EXPECT_EQ(taken.get(), later);
    released.Add(std::move(taken));
    // Behind `later` no stream opens: the rest goes and nothing is taken.
    EXPECT_EQ(m_streams.TakeFirstOpen(released), nullptr);
    EXPECT_EQ(released.Count(), 4u);
    EXPECT_FALSE(m_streams.HasPending());
}

// A replaced stream stays alive while the audio player may still read it
// (it plays out before the next one), and goes once it is done.
TEST_F(PlayerStreamsTest, AReplacedStreamIsKeptWhileStillReadAndReleasedAfter) {
    ReleasedStreams released;
    PlayerStreams::StreamPtr first = Make(true);
    HTTPBufferedStream* firstRaw = first.get();
    m_queued.insert(firstRaw);
    m_streams.MakeCurrent(std::move(first), m_stillRead, released);
    m_streams.MakeCurrent(Make(true), m_stillRead, released);
    EXPECT_EQ(released.Count(), 0u);
    EXPECT_EQ(m_streams.RetiredCount(), 1u);
    EXPECT_TRUE(m_streams.Owns(firstRaw));

    m_queued.clear();
    m_streams.MakeCurrent(Make(true), m_stillRead, released);
    EXPECT_EQ(released.Count(), 2u);  // the first and the one the third replaced
    EXPECT_EQ(m_streams.RetiredCount(), 0u);
    EXPECT_FALSE(m_streams.Owns(firstRaw));
}

TEST_F(PlayerStreamsTest, ReleaseAllLetsGoOfCurrentRetiredAndPending) {
    ReleasedStreams released;
    PlayerStreams::StreamPtr first = Make(true);
    m_queued.insert(first.get());
    m_streams.MakeCurrent(std::move(first), m_stillRead, released);
    m_streams.MakeCurrent(Make(true), m_stillRead, released);
    m_streams.AddPending(Make(false));
    m_streams.ReleaseAll(released);
    EXPECT_EQ(released.Count(), 3u);
    EXPECT_EQ(m_streams.Current(), nullptr);
    EXPECT_FALSE(m_streams.HasPending());
    EXPECT_EQ(m_streams.RetiredCount(), 0u);
}

// Once cancelled, a stream added later cannot block its opener (the player
// on its way out), until opening is allowed again.
TEST_F(PlayerStreamsTest, AfterCancelAllNewStreamsFailToOpenUntilAllowed) {
    m_streams.CancelAll();
    HTTPBufferedStream* cancelled = m_streams.AddPending(std::make_unique<HTTPBufferedStream>(&m_client));
    EXPECT_FALSE(cancelled->Open(m_web.Url("/ok").c_str(), false));
    m_streams.AllowOpening();
    HTTPBufferedStream* allowed = m_streams.AddPending(std::make_unique<HTTPBufferedStream>(&m_client));
    EXPECT_TRUE(allowed->Open(m_web.Url("/ok").c_str(), false));
}

}  // namespace

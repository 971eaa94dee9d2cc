// The request/response primitive over a socketpair: framing, refusals and
// what a broken link gives.
#include "server/SlimCLIConnection.h"

#include "app/base/AppLog.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

// The server's end of a socketpair, driven by the test.
class Peer {
public:
    explicit Peer(SlimCLIConnection& connection) {
        int fds[2];
        EXPECT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds));
        m_fd = fds[0];
        EXPECT_TRUE(connection.Attach(fds[1]));
    }
    ~Peer() { Close(); }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    void Send(const std::string& bytes) { ASSERT_EQ(ssize_t(bytes.size()), ::send(m_fd, bytes.data(), bytes.size(), 0)); }
    // One request line as the connection wrote it.
    std::string ReadLine() {
        std::string line;
        char c;
        while (::recv(m_fd, &c, 1, 0) == 1) {
            line += c;
            if (c == '\n') break;
        }
        return line;
    }
    // Whatever is waiting, without blocking.
    std::string Pending() {
        std::string bytes;
        char buffer[4096];
        ssize_t got;
        while ((got = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) bytes.append(buffer, std::size_t(got));
        return bytes;
    }

private:
    int m_fd = -1;
};

TEST(SlimCLIConnectionFraming, AReplyInPiecesIsJoinedWithoutGaps) {
    SlimCLIConnection connection;
    Peer peer(connection);
    std::thread server([&] {
        EXPECT_EQ("version ?\n", peer.ReadLine());
        peer.Send("vers");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        peer.Send("ion 6.");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        peer.Send("5.5\n");
    });
    std::string reply;
    EXPECT_TRUE(connection.GetData("version ?\n", reply));
    server.join();
    EXPECT_EQ("version 6.5.5", reply);
}

TEST(SlimCLIConnectionFraming, AReplyAtOnceLosesOnlyItsLineFeed) {
    SlimCLIConnection connection;
    Peer peer(connection);
    peer.Send("info total genres 87\n");
    EXPECT_EQ(87u, connection.GetTotal("genres"));
    EXPECT_EQ("info total genres ?\n", peer.ReadLine());
}

TEST(SlimCLIConnectionFraming, AnOverlongReplyIsCutAndItsRestNeverReachesTheNextRequest) {
    SlimCLIConnection connection;
    Peer peer(connection);
    std::thread server([&] {
        peer.ReadLine();
        std::string huge = "genres 0 99999 count%3A1";
        huge.append(SlimCLIConnection::kReplySize + 5000, 'x');
        peer.Send(huge + "\n");
        EXPECT_EQ("version ?\n", peer.ReadLine());
        peer.Send("version 6.5.5\n");
    });
    std::string reply;
    EXPECT_FALSE(connection.GetData("genres 0 99999\n", reply));
    EXPECT_EQ(SlimCLIConnection::kReplySize - 1, reply.size());
    EXPECT_EQ("6.5.5", connection.GetVersion());
    server.join();
}

TEST(SlimCLIConnectionRequests, TooLongOrMultiLineRequestsAreRefusedUnsent) {
    SlimCLIConnection connection;
    Peer peer(connection);
    std::string reply = "stale";
    EXPECT_FALSE(connection.GetData(std::string(255, 'a') + "\n", reply));
    EXPECT_EQ("", reply);
    EXPECT_FALSE(connection.GetData("playlist clear\nplaylist add x\n", reply));
    EXPECT_FALSE(connection.GetData("mode stop", reply));
    EXPECT_FALSE(connection.GetData("", reply));
    // A name that would push the command past the limit sends nothing at all.
    connection.SetPlayerId("00:04:20:12:34:56");
    connection.SaveCurrentPlaylist(std::string(240, 'n').c_str());
    EXPECT_EQ("", peer.Pending());
}

TEST(SlimCLIConnectionRequests, ALineOfExactly255CharactersGoesOut) {
    SlimCLIConnection connection;
    Peer peer(connection);
    const std::string request = std::string(254, 'a') + "\n";
    peer.Send(request);  // the server's reply starts with the request
    std::string reply;
    EXPECT_TRUE(connection.GetData(request, reply));
    EXPECT_EQ(request, peer.ReadLine());
}

TEST(SlimCLIConnectionLinkDown, AClosedPeerGivesEmptyRepliesAndDefaults) {
    SlimCLIConnection connection;
    Peer peer(connection);
    peer.Close();
    std::string reply = "stale";
    EXPECT_FALSE(connection.GetData("version ?\n", reply));
    EXPECT_EQ("", reply);
    EXPECT_EQ("", connection.GetVersion());
    EXPECT_EQ(0u, connection.GetGenreCount());
    SlimConnection::PlayerStatus status;
    status.repeat = 2;
    connection.GetPlayerStatus(status, 0);
    EXPECT_EQ(2, status.repeat);
    EXPECT_EQ("N/A", status.currentSong.title);
    EXPECT_EQ("0:00 / 0:00", status.currentSong.timeText);
    BrowseEntryList list;
    EXPECT_EQ(0, connection.GetArtists(0, 50, list));
    EXPECT_EQ(-1, connection.GetArtistStartIndex('b', 0, 50, SlimConnection::Direction::Forward));
}

TEST(SlimCLIConnectionLinkDown, NeverConnectedFailsFast) {
    SlimCLIConnection connection;
    std::string reply;
    EXPECT_FALSE(connection.GetData("version ?\n", reply));
    EXPECT_FALSE(connection.IsConnected());
}

TEST(SlimCLIConnectionTotals, FilterAndInfoForms) {
    SlimCLIConnection connection;
    Peer peer(connection);
    peer.Send("albums 0 0 genre_id%3A5 count%3A12\n");
    EXPECT_EQ(12u, connection.GetTotal("albums", "genre_id:5"));
    EXPECT_EQ("albums 0 0 genre_id:5\n", peer.ReadLine());
    peer.Send("albums 0 0 genre_id%3A5\n");
    EXPECT_EQ(0u, connection.GetTotal("albums", "genre_id:5"));
    peer.ReadLine();
    peer.Send("info total genres\n");
    EXPECT_EQ(0u, connection.GetTotal("genres"));
}

TEST(SlimCLIConnectionIgnores, CachedUntilRefreshedAndOneArticleGivesNone) {
    SlimCLIConnection connection;
    Peer peer(connection);
    peer.Send("pref ignoredarticles The%20Los%20Las%20Le%20Les\n");
    const auto first = connection.GetIgnores(false);
    ASSERT_EQ(5u, first->GetNumTokens());
    EXPECT_STREQ("Los", first->TokenAt(1));
    EXPECT_EQ(first, connection.GetIgnores(false));
    EXPECT_EQ("pref ignoredarticles ?\n", peer.ReadLine());
    EXPECT_EQ("", peer.Pending());
    peer.Send("pref ignoredarticles The\n");
    const auto second = connection.GetIgnores(true);
    EXPECT_EQ(0u, second->GetNumTokens());
    EXPECT_EQ(5u, first->GetNumTokens());
}

TEST(SlimCLIConnectionAddresses, BaseAndCoverUrls) {
    SlimCLIConnection connection;
    (void)connection.Connect("127.0.0.1", 1);
    connection.SetPlayerId("00:04:20:0a:1b:2c");
    connection.SetWebPort("9001");
    EXPECT_EQ("http://127.0.0.1", connection.GetBaseURL());
    EXPECT_EQ("http://127.0.0.1:9001/music/current/cover.jpg?player=00:04:20:0a:1b:2c",
              connection.GetCurrentSongCoverURL());
}

TEST(SlimCLIConnectionFraming, OnlyAReplyThatEchoesItsRequestIsTaken) {
    struct Case {
        const char* request;
        std::string reply;
        bool taken;
    };
    const char garbage[] = "\x00\xff%zz::count:-1 \x1b[2J\n";  // bytes of no meaning
    const Case cases[] = {
        {"00:04:20:12:34:56 mode ?\n", "00%3A04%3A20%3A12%3A34%3A56 mode play\n", true},
        {"version ?\n", "VERSION 6.5.5\n", true},
        {"version ?\n", std::string(garbage, sizeof garbage - 1), false},
        {"version ?\n", "genres 0 10 count%3A3\n", false},  // an earlier request's late reply
        {"00:04:20:12:34:56 mode ?\n", "00%3A04%3A20%3A12%3A34%3A57 mode play\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        std::FILE* echo = std::tmpfile();
        AppLog::SetEchoStream(echo);
        SlimCLIConnection connection;
        Peer peer(connection);
        peer.Send(c.reply);
        std::string reply;
        EXPECT_EQ(c.taken, connection.GetData(c.request, reply));
        AppLog::SetEchoStream(stdout);
        std::rewind(echo);
        char logged[512] = {};
        (void)!std::fread(logged, 1, sizeof logged - 1, echo);
        std::fclose(echo);
        if (c.taken) continue;
        EXPECT_EQ("", reply);
        EXPECT_NE(nullptr, std::strstr(logged, "is not its answer")) << logged;
        EXPECT_FALSE(connection.IsConnected());  // out of step: the link goes
    }
}

}  // namespace

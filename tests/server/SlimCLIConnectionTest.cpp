// The request/response primitive over a socketpair: framing, refusals, the
// reply check and what a broken link gives.
#include "server/SlimCLIConnection.h"

#include "server/CliPeer.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

TEST(SlimCLIConnectionLink, RepliesInPiecesAreJoinedAndOverlongOnesCutAndDrained) {
    SlimCLIConnection connection;
    CliPeer peer(connection);
    std::thread server([&] {
        EXPECT_EQ("version ?\n", peer.Read());
        for (const char* piece : {"vers", "ion 6.", "5.5\n"}) {
            peer.Send(piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        peer.Read();
        peer.Send("genres 0 99999 count%3A1" + std::string(SlimCLIConnection::kReplySize + 5000, 'x') + "\n");
        EXPECT_EQ("version ?\n", peer.Read());
        peer.Send("version 6.5.5\n");
    });
    EXPECT_EQ("6.5.5", connection.GetVersion());
    std::string reply;
    EXPECT_FALSE(connection.GetData("genres 0 99999\n", reply));
    EXPECT_EQ(SlimCLIConnection::kReplySize - 1, reply.size());
    EXPECT_EQ("6.5.5", connection.GetVersion());  // the rest never reaches the next request
    server.join();
}

TEST(SlimCLIConnectionLink, OverlongOrMultiLineRequestsAreRefusedUnsent) {
    SlimCLIConnection connection;
    CliPeer peer(connection);
    std::string reply = "stale";
    for (const std::string& request : {std::string(255, 'a') + "\n", std::string("playlist clear\nplaylist add x\n"),
                                       std::string("mode stop"), std::string()}) {
        EXPECT_FALSE(connection.GetData(request, reply)) << request;
        EXPECT_EQ("", reply);
    }
    // A name that would push the command past the limit sends nothing at all.
    connection.SetPlayerId("00:04:20:12:34:56");
    connection.SaveCurrentPlaylist(std::string(240, 'n').c_str());
    EXPECT_EQ("", peer.Read(false));
    const std::string longest = std::string(254, 'a') + "\n";
    peer.Send(longest);  // the server's reply starts with the request
    EXPECT_TRUE(connection.GetData(longest, reply));
    EXPECT_EQ(longest, peer.Read());
}

// An answer to "info total" or a filtered count that holds no count gives 0
// (the counts themselves are read against the simulator).
TEST(SlimCLIConnectionLink, TotalsWithoutACountAreZero) {
    SlimCLIConnection connection;
    CliPeer peer(connection);
    const struct {
        const char *reply, *what, *filter, *request;
    } totals[] = {
        {"info total genres\n", "genres", "", "info total genres ?\n"},
        {"albums 0 0 genre_id%3A5\n", "albums", "genre_id:5", "albums 0 0 genre_id:5\n"},
    };
    for (const auto& t : totals) {
        peer.Send(t.reply);
        EXPECT_EQ(0u, connection.GetTotal(t.what, t.filter)) << t.reply;
        EXPECT_EQ(t.request, peer.Read());
    }
}

// A reply that does not echo its request (bytes of no meaning, an earlier
// request's late reply, another player's) is dropped and the link reopened.
TEST(SlimCLIConnectionLink, OnlyAReplyThatEchoesItsRequestIsTaken) {
    const char garbage[] = "\x00\xff%zz::count:-1 \x1b[2J\n";
    const struct {
        const char* request;
        std::string reply;
        bool taken;
    } cases[] = {
        {"00:04:20:12:34:56 mode ?\n", "00%3A04%3A20%3A12%3A34%3A56 mode play\n", true},
        {"version ?\n", "VERSION 6.5.5\n", true},
        {"version ?\n", std::string(garbage, sizeof garbage - 1), false},
        {"version ?\n", "genres 0 10 count%3A3\n", false},
        {"00:04:20:12:34:56 mode ?\n", "00%3A04%3A20%3A12%3A34%3A57 mode play\n", false},
    };
    for (const auto& c : cases) {
        SlimCLIConnection connection;
        CliPeer peer(connection);
        peer.Send(c.reply);
        std::string reply;
        EXPECT_EQ(c.taken, connection.GetData(c.request, reply)) << c.reply;
        EXPECT_EQ(c.taken, !reply.empty()) << c.reply;
        EXPECT_EQ(c.taken, connection.IsConnected()) << c.reply;
    }
}

// A missing link sends nothing; on a closed one the status keeps the fields
// no reply gave, and the current song is reset rather than left showing.
TEST(SlimCLIConnectionLink, AClosedOrMissingLinkGivesDefaults) {
    std::string reply;
    EXPECT_FALSE(SlimCLIConnection().GetData("version ?\n", reply));
    SlimCLIConnection connection;
    CliPeer peer(connection);
    peer.Close();
    SlimConnection::PlayerStatus status;
    status.repeat = 2;
    status.currentSong.title = "Gone";
    status.currentSong.timeText = "1:05 / 4:05";
    connection.GetPlayerStatus(status, 0);
    EXPECT_EQ(2, status.repeat);
    EXPECT_EQ("N/A 0:00 / 0:00",
              std::string(status.currentSong.title.c_str()) + " " + status.currentSong.timeText.c_str());
}

}  // namespace

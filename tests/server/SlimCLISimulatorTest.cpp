// Every operation against the server simulator: the exact request lines it
// received and what they did to its state.
#include "server/SlimCLIConnection.h"

#include "support/SlimSimulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kMac = "00:04:20:12:34:56";

class SlimCLISimulator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start());
        ASSERT_TRUE(m_sim.ConnectPlayer(kMac));
        m_cli.SetPlayerId(kMac);
        m_cli.SetWebPort(std::to_string(m_sim.GetPorts().web));
        ASSERT_TRUE(m_cli.Connect("127.0.0.1", m_sim.GetPorts().cli));
        m_sim.Control("reset");
    }

    // The lines the CLI connection sent since the last call.
    std::vector<std::string> Sent() {
        std::vector<std::string> lines = m_sim.CliLines();
        m_sim.Control("reset");
        return lines;
    }
    static std::string P(const std::string& rest) { return std::string(kMac) + " " + rest; }

    SlimSimulator m_sim;
    SlimCLIConnection m_cli;
};

using Lines = std::vector<std::string>;

TEST_F(SlimCLISimulator, ServerQueries) {
    EXPECT_EQ("6.5.5", m_cli.GetVersion());
    EXPECT_EQ(4u, m_cli.GetGenreCount());
    EXPECT_EQ(5u, m_cli.GetArtistCount());
    EXPECT_EQ(6u, m_cli.GetAlbumCount());
    EXPECT_EQ(13u, m_cli.GetSongCount());
    EXPECT_EQ(2u, m_cli.GetTotal("albums", "artist_id:1"));
    EXPECT_EQ((Lines{"version ?", "info total genres ?", "info total artists ?", "info total albums ?",
                     "info total songs ?", "albums 0 0 artist_id:1"}),
              Sent());
    const auto articles = m_cli.GetIgnores(false);
    EXPECT_GE(articles->Contains("Los", CascadeCase::Sensitive, ETokenArray::Order::Unsorted), 0);
}

TEST_F(SlimCLISimulator, LibraryPagesWithFiltersAndNonAsciiNames) {
    BrowseEntryList genres;
    EXPECT_EQ(4, m_cli.GetGenres(0, 50, genres));
    EXPECT_EQ(4u, genres.GetTotalCount());
    EXPECT_GE(genres.Contains(nullptr, "\xC3\x89lectronique", CascadeCase::Sensitive), 0);
    EXPECT_GE(genres.Contains(nullptr, "Rock & Roll", CascadeCase::Sensitive), 0);
    BrowseEntryList artists, albums, filtered, playlists;
    m_cli.GetArtists(1, 0, 50, artists);
    m_cli.GetGenres(7, 9, 0, 50, filtered);
    m_cli.GetAlbums(1, 2, 0, 10, albums);
    EXPECT_EQ(2, m_cli.GetPlaylists(0, 10, playlists));
    EXPECT_EQ("Party Mix", playlists.Item(0)->name);
    EXPECT_EQ((Lines{"genres 0 50", "artists 0 50 genre_id:1", "genres 0 50 album_id:9 artist_id:7",
                     "albums 0 10 genre_id:1 artist_id:2", "playlists 0 10"}),
              Sent());
}

TEST_F(SlimCLISimulator, TracksAreFilteredInOrderAndTheWholeListIsOnlyCounted) {
    SongList tracks;
    EXPECT_EQ(3, m_cli.GetTracks(0, 0, 1, 0, 100, tracks));
    EXPECT_EQ("Sunrise Walk", tracks.Item(0)->title);
    EXPECT_EQ("1", tracks.Item(0)->trackNum);
    SongList byArtist, all;
    m_cli.GetTracks(3, 4, 0, 0, 100, byArtist);
    EXPECT_EQ(0, m_cli.GetTracks(0, 0, 0, 0, 100, all));
    EXPECT_EQ(0u, all.GetNumEntries());
    EXPECT_EQ(13u, all.GetTotalCount());
    EXPECT_EQ((Lines{"titles 0 100 album_id:1 sort:tracknum", "titles 0 100 genre_id:3 artist_id:4",
                     "info total songs ?"}),
              Sent());
}

TEST_F(SlimCLISimulator, StartLetterSearchSkipsArticles) {
    EXPECT_EQ(2, m_cli.GetArtistStartIndex('b', 0, 2, SlimConnection::Direction::Forward));
    EXPECT_EQ(4, m_cli.GetArtistStartIndex('Q', 0, 2, SlimConnection::Direction::Forward));
    EXPECT_EQ(3, m_cli.GetArtistStartIndex('l', 4, 2, SlimConnection::Direction::Backward));
    EXPECT_EQ(-1, m_cli.GetArtistStartIndex('z', 0, 2, SlimConnection::Direction::Forward));
}

TEST_F(SlimCLISimulator, PlaylistEditsChangeTheServersPlaylist) {
    m_cli.ClearCurrentPlaylist();
    m_cli.AddToCurrentPlaylist(0, 0, 1);
    SlimConnection::PlayerStatus status;
    m_cli.GetPlayerStatus(status, 5);
    EXPECT_EQ(3, status.trackCount);
    EXPECT_EQ(2u, status.playlist.GetNumEntries());
    m_cli.RemoveFromCurrentPlaylist(2);
    m_cli.AddToCurrentPlaylist(5);
    m_cli.AddToCurrentPlaylist(1, 0, 0);
    EXPECT_EQ((Lines{P("playlist clear"), P("playlistcontrol cmd:add album_id:1"),
                     P("status - 6 tags:galdtypesru"), P("playlist delete 2"),
                     P("playlistcontrol cmd:add track_id:5"), P("playlistcontrol cmd:add genre_id:1")}),
              Sent());
    SongList page;
    EXPECT_LT(5, m_cli.GetCurrentPlaylist(1, 1000, page, true));
    EXPECT_EQ(page.GetTotalCount() - 1, page.GetNumEntries());
}

TEST_F(SlimCLISimulator, ReplaceAndLoad) {
    m_cli.ReplaceCurrentPlaylist(0, 0, 2);
    EXPECT_EQ((Lines{P("playlist clear"), P("playlistcontrol cmd:add album_id:2"), P("playlist index 0"),
                     P("mode play")}),
              Sent());
    m_cli.PlayPlaylist("14");
    SlimConnection::PlayerStatus status;
    m_cli.GetPlayerStatus(status, 0);
    EXPECT_EQ(3, status.trackCount);
}

// The whole name is escaped, so a ":" cannot make it a tagged parameter and
// a "%" is not taken for an escape.
TEST_F(SlimCLISimulator, SavedPlaylistNamesArriveAsTyped) {
    m_cli.PlayPlaylist("14");
    struct Case {
        const char* name;
        const char* sent;
    } const cases[] = {
        {"Mix:Tape", "playlist save Mix%3ATape"},
        {"100% Jazz", "playlist save 100%25%20Jazz"},
        {"Caf\xc3\xa9 & co", "playlist save Caf%C3%A9%20%26%20co"},
    };
    for (const Case& c : cases) {
        Sent();
        m_cli.SaveCurrentPlaylist(c.name);
        EXPECT_EQ(P(c.sent), Sent().back());
        BrowseEntryList playlists;
        m_cli.GetPlaylists(0, 50, playlists);
        EXPECT_GE(playlists.Contains(nullptr, c.name, CascadeCase::Sensitive), 0) << c.name;
    }
}

TEST_F(SlimCLISimulator, InsertFamilyAndPlaylistAdds) {
    const struct {
        std::function<void(SlimCLIConnection&)> call;
        const char* sent;
    } cases[] = {
        {[](SlimCLIConnection& c) { c.InsertInCurrentPlaylist(5ul); }, "playlistcontrol cmd:insert track_id:5"},
        {[](SlimCLIConnection& c) { c.InsertInCurrentPlaylist(1, 0, 2); },
         "playlistcontrol cmd:insert genre_id:1 album_id:2"},
        {[](SlimCLIConnection& c) { c.InsertInCurrentPlaylist(0, 3, 0); }, "playlistcontrol cmd:insert artist_id:3"},
        {[](SlimCLIConnection& c) { c.InsertInCurrentPlaylist("file:///music/a.mp3"); },
         "playlist insert file:///music/a.mp3"},
        {[](SlimCLIConnection& c) { c.AddPlaylist("14"); }, "playlistcontrol cmd:add playlist_id:14"},
        {[](SlimCLIConnection& c) { c.AddPlaylist(15ul); }, "playlistcontrol cmd:add playlist_id:15"},
    };
    for (const auto& c : cases) {
        c.call(m_cli);
        EXPECT_EQ((Lines{P(c.sent)}), Sent());
    }
    m_cli.ClearCurrentPlaylist();
    m_cli.AddPlaylist("14");
    SlimConnection::PlayerStatus status;
    m_cli.GetPlayerStatus(status, 0);
    EXPECT_EQ(3, status.trackCount);
}

TEST_F(SlimCLISimulator, APlaylistPagePastTheEndStillSetsTheTotal) {
    m_cli.PlayPlaylist("14");
    for (const unsigned long start : {3ul, 4ul, 100ul}) {
        SongList page;
        page.SetTotalCount(99);
        EXPECT_EQ(3, m_cli.GetCurrentPlaylist(start, 10, page, true));
        EXPECT_EQ(3u, page.GetTotalCount()) << start;
        EXPECT_EQ(0u, page.GetNumEntries());
    }
}

TEST_F(SlimCLISimulator, TransportAndModes) {
    m_cli.PlayPlaylist(14ul);
    Sent();
    m_cli.Stop();
    m_cli.SetRate(-2);
    m_cli.Rewind(10);
    m_cli.JumpToNextSong();
    m_cli.JumpToPreviousSong();
    m_cli.Power(true);
    EXPECT_EQ((Lines{P("mode stop"), P("rate -2"), P("time -10"), P("playlist index +1"), P("mode play"),
                     P("playlist index -1"), P("mode play"), P("power 1")}),
              Sent());
    EXPECT_EQ(1, m_cli.SetShuffle(1));
    EXPECT_EQ(2, m_cli.SetRepeat(2));
    EXPECT_EQ((Lines{P("playlist shuffle 1"), P("status - 1 tags:galdtypesru"), P("playlist repeat 2"),
                     P("status - 1 tags:galdtypesru")}),
              Sent());
    EXPECT_EQ(0, m_cli.ToggleRepeat());
    EXPECT_EQ(P("playlist repeat"), Sent().front());
}

// Within the song fast forward seeks; 30 s cannot fit in songs a few
// seconds long, so it jumps to the next one. Both first read the status.
TEST_F(SlimCLISimulator, FastForwardSeeksWithinTheSongOrJumpsToTheNext) {
    m_cli.PlayPlaylist("14");
    Sent();
    m_cli.FastForward(1);
    Lines lines = Sent();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(P("time +1"), lines[2]);
    m_cli.FastForward(30);
    lines = Sent();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(P("playlist index +1"), lines[2]);
    EXPECT_EQ(P("mode play"), lines[3]);
}

TEST_F(SlimCLISimulator, StatusAndCurrentSong) {
    m_cli.PlayPlaylist("14");
    SlimConnection::PlayerStatus status;
    m_cli.GetPlayerStatus(status, 5);
    EXPECT_EQ(0, status.currentIndex);
    EXPECT_EQ("Coffee & Rain", status.currentSong.title);
    EXPECT_EQ("The Quiet Tones", status.currentSong.artist);
    EXPECT_EQ("Morning Light", status.currentSong.album);
    EXPECT_EQ("2001", m_cli.GetCurrentSongYear());
    EXPECT_EQ(2u, status.playlist.GetNumEntries());
    EXPECT_EQ("Nordlys", status.playlist.Item(0)->title);
    EXPECT_EQ("Coffee & Rain", m_cli.GetCurrentSongTitle());
    EXPECT_EQ(3u, m_cli.GetCurrentSongDuration());
    SongInfo track;
    m_cli.GetTrackInfo(1, track);
    EXPECT_EQ("Sunrise Walk", track.title);
    EXPECT_EQ("Jazz", track.genre);
    EXPECT_EQ("songinfo 0 14 track_id:1 tags:gacbhldtyovrfu", Sent().back());
}

TEST_F(SlimCLISimulator, FolderAndCoverPages) {
    BrowseEntryList top;
    CascadeString location;
    EXPECT_GT(m_cli.GetFolderItems("", 0, 50, top, location), 0u);
    ASSERT_GT(top.GetNumEntries(), 0u);
    const std::string first = top.Item(0)->id.c_str();
    BrowseEntryList inner;
    m_cli.GetFolderItems(first.c_str(), 0, 50, inner, location);
    EXPECT_GT(inner.GetNumEntries(), 0u);
    EXPECT_FALSE(location.IsEmpty());
    BrowseEntryList covers;
    // One of the six albums has no cover art.
    EXPECT_EQ(5u, m_cli.GetAlbumArtwork(0, 2, covers));
    ASSERT_EQ(3u, covers.GetNumEntries());
    EXPECT_TRUE(covers.Item(0)->url.StartsWith("http://127.0.0.1:" + std::to_string(m_sim.GetPorts().web) + "/music/"));
}

// The server runs a request and closes the link before it replies (as in a
// restart). A command must then have run once, not twice; a query is asked
// again on a new link and answered.
TEST_F(SlimCLISimulator, ARequestCutOffBeforeItsReplyIsResentOnlyWhenItIsAQuery) {
    struct Case {
        const char* name;
        std::function<void()> request;
        std::string line;
        std::size_t timesSent;
    };
    m_cli.ClearCurrentPlaylist();
    m_cli.AddToCurrentPlaylist(0, 0, 1);  // three songs
    CascadeString version;
    const std::vector<Case> cases = {
        {"playlist delete", [&] { m_cli.RemoveFromCurrentPlaylist(2); }, P("playlist delete 2"), 1},
        {"cmd:add", [&] { m_cli.AddToCurrentPlaylist(5); }, P("playlistcontrol cmd:add track_id:5"), 1},
        {"version ?", [&] { version = m_cli.GetVersion(); }, "version ?", 2},
    };
    for (const Case& c : cases) {
        Sent();
        m_sim.Control("fault cli-drop-reply 1");
        c.request();
        const Lines sent = Sent();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), c.line), long(c.timesSent)) << c.name;
        // Whatever the last request did, the next one finds a link.
        for (int i = 0; i < 100 && !m_cli.IsConnected(); ++i) {
            (void)m_cli.GetVersion();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    EXPECT_EQ("6.5.5", version);
    SlimConnection::PlayerStatus status;
    m_cli.GetPlayerStatus(status, 5);
    EXPECT_EQ(3, status.trackCount) << "three songs, one deleted once, one added once";
}

// A restart between two requests: the old link is found closed before the
// next command goes out, which then runs once on the new server.
TEST_F(SlimCLISimulator, ACommandAfterAServerRestartRunsOnceOnTheNewLink) {
    EXPECT_EQ("6.5.5", m_cli.GetVersion());
    const SlimSimulator::Ports ports = m_sim.GetPorts();
    m_sim.Stop();
    ASSERT_TRUE(m_sim.Start(ports, {}));
    ASSERT_TRUE(m_sim.ConnectPlayer(kMac));
    m_sim.Control("reset");
    m_cli.ClearCurrentPlaylist();
    EXPECT_EQ((Lines{P("playlist clear")}), Sent());
}

TEST_F(SlimCLISimulator, AServerRestartIsSurvived) {
    EXPECT_EQ("6.5.5", m_cli.GetVersion());
    const SlimSimulator::Ports ports = m_sim.GetPorts();
    m_sim.Stop();
    // While the server is away requests fail at once instead of waiting.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ("", m_cli.GetVersion());
    EXPECT_EQ("", m_cli.GetVersion());
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    ASSERT_TRUE(m_sim.Start(ports, {}));
    CascadeString version;
    for (int i = 0; i < 200 && version.IsEmpty(); ++i) {
        version = m_cli.GetVersion();
        if (version.IsEmpty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ("6.5.5", version);
}

}  // namespace

// Every operation against the server simulator: the exact request lines it
// received, what the operation read back and what it did to the server.
#include "server/SlimCLIConnection.h"

#include "server/SimulatorFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

template <typename T>
std::string S(T value) {
    return std::to_string(value);
}

// "<returned> <total>:name,name,..." of one page.
std::string Page(long returned, const BrowseEntryList& list) {
    std::string out = S(returned) + " " + S(list.GetTotalCount()) + ":";
    for (std::size_t i = 0; i < list.GetNumEntries(); ++i) {
        const auto* song = dynamic_cast<const SongInfo*>(list.Item(i));
        out += std::string(i ? "," : "") + (song ? song->title : list.Item(i)->name).c_str();
    }
    return out;
}

// "<tracks> <index> <title> / <upcoming titles>"
std::string Status(SlimCLIConnection& c, unsigned long count) {
    SlimConnection::PlayerStatus status;
    c.GetPlayerStatus(status, count);
    std::string out =
        S(status.trackCount) + " " + S(status.currentIndex) + " " + status.currentSong.title.c_str() + " /";
    for (std::size_t i = 0; i < status.playlist.GetNumEntries(); ++i)
        out += std::string(" ") + static_cast<SongInfo*>(status.playlist.Item(i))->title.c_str();
    return out;
}

TEST_F(SlimCLISimulator, EveryOperationSendsItsRequestAndActsOnTheServer) {
    EXPECT_EQ("6.5.5", m_cli.GetVersion());
    const unsigned long counts[] = {m_cli.GetGenreCount(), m_cli.GetArtistCount(), m_cli.GetAlbumCount(),
                                    m_cli.GetSongCount(), m_cli.GetTotal("albums", "artist_id:1")};
    EXPECT_EQ((std::vector<unsigned long>{4, 5, 6, 13, 2}), std::vector<unsigned long>(counts, counts + 5));
    BrowseEntryList genres, artists, none, playlists;
    SongList tracks, filtered, all;
    EXPECT_EQ("4 4:Classical,\xC3\x89lectronique,Jazz,Rock & Roll", Page(m_cli.GetGenres(0, 50, genres), genres));
    EXPECT_EQ("2 2:Anna Ames,The Quiet Tones", Page(m_cli.GetArtists(1, 0, 50, artists), artists));
    m_cli.GetGenres(7, 9, 0, 50, none);
    m_cli.GetAlbums(1, 2, 0, 10, none);
    EXPECT_EQ("2 2:Party Mix,Quiet Evening", Page(m_cli.GetPlaylists(0, 10, playlists), playlists));
    EXPECT_EQ("3 3:Sunrise Walk,Coffee & Rain,Blue Hour", Page(m_cli.GetTracks(0, 0, 1, 0, 100, tracks), tracks));
    m_cli.GetTracks(3, 4, 0, 0, 100, filtered);
    EXPECT_EQ("0 13:", Page(m_cli.GetTracks(0, 0, 0, 0, 100, all), all));  // the whole list is only counted
    SongInfo track;
    m_cli.GetTrackInfo(1, track);
    EXPECT_EQ("Sunrise Walk Jazz 1",
              std::string(track.title.c_str()) + " " + track.genre.c_str() + " " + track.trackNum.c_str());
    EXPECT_EQ((Lines{"version ?", "info total genres ?", "info total artists ?", "info total albums ?",
                     "info total songs ?", "albums 0 0 artist_id:1", "genres 0 50", "artists 0 50 genre_id:1",
                     "genres 0 50 album_id:9 artist_id:7", "albums 0 10 genre_id:1 artist_id:2", "playlists 0 10",
                     "titles 0 100 album_id:1 sort:tracknum", "titles 0 100 genre_id:3 artist_id:4",
                     "info total songs ?", "songinfo 0 14 track_id:1 tags:gacbhldtyovrfu"}),
              Sent());
    EXPECT_EQ(2, m_cli.GetArtistStartIndex('b', 0, 2, SlimConnection::Direction::Forward));
    EXPECT_EQ(4, m_cli.GetArtistStartIndex('Q', 0, 2, SlimConnection::Direction::Forward));  // "The " ignored
    EXPECT_EQ(3, m_cli.GetArtistStartIndex('l', 4, 2, SlimConnection::Direction::Backward));
    EXPECT_EQ(-1, m_cli.GetArtistStartIndex('z', 0, 2, SlimConnection::Direction::Forward));
    EXPECT_EQ(
        (Lines{"pref ignoredarticles ?", "artists 0 2", "artists 2 2", "artists 0 2", "artists 2 2", "artists 4 2",
               "artists 4 2", "artists 2 2", "artists 0 2", "artists 0 2", "artists 2 2", "artists 4 2"}),
        Sent());

    m_cli.ClearCurrentPlaylist();
    m_cli.AddToCurrentPlaylist(0, 0, 1);
    EXPECT_EQ("3 0 Sunrise Walk / Coffee & Rain Blue Hour", Status(m_cli, 5));
    m_cli.RemoveFromCurrentPlaylist(2);
    m_cli.AddToCurrentPlaylist(5);
    m_cli.AddToCurrentPlaylist(1, 0, 0);
    SongList page;
    EXPECT_EQ("9 9:Coffee & Rain,Süße Stille,Dusk,Lamplight (Reprise),Plain Song,Sunrise Walk,Coffee & Rain,Blue Hour",
              Page(m_cli.GetCurrentPlaylist(1, 1000, page, true), page));
    EXPECT_EQ(Player({"playlist clear", "playlistcontrol cmd:add album_id:1", "status - 6 tags:galdtypesru",
                      "playlist delete 2", "playlistcontrol cmd:add track_id:5", "playlistcontrol cmd:add genre_id:1",
                      "status - 1 tags:galdtypesru", "status 1 8 tags:galdtypesru"}),
              Sent());
    m_cli.ReplaceCurrentPlaylist(0, 0, 2);
    m_cli.InsertInCurrentPlaylist(5ul);
    m_cli.InsertInCurrentPlaylist(1, 0, 2);
    m_cli.InsertInCurrentPlaylist(0, 3, 0);
    m_cli.InsertInCurrentPlaylist("file:///music/a.mp3");
    m_cli.AddPlaylist(15ul);
    m_cli.ClearCurrentPlaylist();
    m_cli.AddPlaylist("14");
    EXPECT_EQ("3 0 Coffee & Rain /", Status(m_cli, 0));
    m_cli.PlayPlaylist(14ul);
    EXPECT_EQ("3 0 Coffee & Rain / Nordlys Highway 9", Status(m_cli, 5));
    EXPECT_EQ("2001 3", m_cli.GetCurrentSongYear().Std() + " " + S(m_cli.GetCurrentSongDuration()));
    EXPECT_EQ(
        Player({"playlist clear", "playlistcontrol cmd:add album_id:2", "playlist index 0", "mode play",
                "playlistcontrol cmd:insert track_id:5", "playlistcontrol cmd:insert genre_id:1 album_id:2",
                "playlistcontrol cmd:insert artist_id:3", "playlist insert file:///music/a.mp3",
                "playlistcontrol cmd:add playlist_id:15", "playlist clear", "playlistcontrol cmd:add playlist_id:14",
                "status - 1 tags:galdtypesru", "playlistcontrol cmd:load playlist_id:14", "status - 6 tags:galdtypesru",
                "status - 1 tags:galdtypesru", "status - 1 tags:galdtypesru"}),
        Sent());
    // A page at or past the end sets the total and asks for nothing more.
    for (const unsigned long start : {3ul, 100ul}) {
        SongList past;
        past.SetTotalCount(99);
        EXPECT_EQ("3 3:", Page(m_cli.GetCurrentPlaylist(start, 10, past, true), past));
        EXPECT_EQ(Player(Lines{"status - 1 tags:galdtypesru"}), Sent());
    }

    // Within the song fast forward seeks; 30 s do not fit in a song of 3 s,
    // so it jumps to the next one.
    m_cli.FastForward(1);
    m_cli.FastForward(30);
    m_cli.Stop();
    m_cli.SetRate(-2);
    m_cli.Rewind(10);
    m_cli.JumpToPreviousSong();
    m_cli.Power(true);
    const int modes[] = {m_cli.SetShuffle(1), m_cli.SetRepeat(2), m_cli.ToggleRepeat()};
    EXPECT_EQ((std::vector<int>{1, 2, 0}), std::vector<int>(modes, modes + 3));
    EXPECT_EQ(Player(Lines{"status - 1 tags:galdtypesru", "status - 1 tags:galdtypesru", "time +1",
                           "status - 1 tags:galdtypesru", "status - 1 tags:galdtypesru", "playlist index +1",
                           "mode play", "mode stop", "rate -2", "time -10", "playlist index -1", "mode play", "power 1",
                           "playlist shuffle 1", "status - 1 tags:galdtypesru", "playlist repeat 2",
                           "status - 1 tags:galdtypesru", "playlist repeat", "status - 1 tags:galdtypesru"}),
              Sent());
}

// The whole name is escaped, so a ":" cannot make it a tagged parameter and
// a "%" is not taken for an escape; the server lists it as typed.
TEST_F(SlimCLISimulator, SavedPlaylistNamesAreEscapedWhole) {
    m_cli.PlayPlaylist("14");
    const struct {
        const char *name, *sent;
    } names[] = {
        {"Mix:Tape", "playlist save Mix%3ATape"},
        {"100% Jazz", "playlist save 100%25%20Jazz"},
        {"Caf\xc3\xa9 & co", "playlist save Caf%C3%A9%20%26%20co"},
    };
    for (const auto& c : names) {
        Sent();
        m_cli.SaveCurrentPlaylist(c.name);
        EXPECT_EQ(P(c.sent), Sent().back());
        BrowseEntryList playlists;
        m_cli.GetPlaylists(0, 50, playlists);
        EXPECT_GE(playlists.Contains(nullptr, c.name, CascadeCase::Sensitive), 0) << c.name;
    }
}

// A request whose link the server closes before replying (as in a restart)
// is asked again only when it is a query: a command must run once. A restart
// between two requests is found before the next command goes out, which
// then runs once on the new server; while the server is away requests fail
// at once.
TEST_F(SlimCLISimulator, RequestsCutOffAndServerRestarts) {
    m_cli.ClearCurrentPlaylist();
    m_cli.AddToCurrentPlaylist(0, 0, 1);  // three songs
    CascadeString version;
    const struct {
        std::function<void()> request;
        std::string line;
        long timesSent;
    } cases[] = {
        {[&] { m_cli.RemoveFromCurrentPlaylist(2); }, P("playlist delete 2"), 1},
        {[&] { m_cli.AddToCurrentPlaylist(5); }, P("playlistcontrol cmd:add track_id:5"), 1},
        {[&] { version = m_cli.GetVersion(); }, "version ?", 2},
    };
    for (const auto& c : cases) {
        Sent();
        m_sim.Control("fault cli-drop-reply 1");
        c.request();
        const Lines sent = Sent();
        EXPECT_EQ(c.timesSent, std::count(sent.begin(), sent.end(), c.line)) << c.line;
        for (int i = 0; i < 100 && !m_cli.IsConnected(); ++i) {
            (void)m_cli.GetVersion();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    EXPECT_EQ("6.5.5", version);
    EXPECT_EQ("3 0 Sunrise Walk /", Status(m_cli, 0)) << "three songs, one deleted once, one added once";

    const SlimSimulator::Ports ports = m_sim.GetPorts();
    m_sim.Stop();
    ASSERT_TRUE(m_sim.Start(ports, {}));
    ASSERT_TRUE(m_sim.ConnectPlayer(kMac));
    m_sim.Control("reset");
    m_cli.ClearCurrentPlaylist();
    EXPECT_EQ((Lines{P("playlist clear")}), Sent());

    m_sim.Stop();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ("", m_cli.GetVersion());
    EXPECT_EQ("", m_cli.GetVersion());
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    ASSERT_TRUE(m_sim.Start(ports, {}));
    version = "";
    for (int i = 0; i < 200 && version.IsEmpty(); ++i) {
        version = m_cli.GetVersion();
        if (version.IsEmpty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ("6.5.5", version);
}

}  // namespace

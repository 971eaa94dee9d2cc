// Every operation against the server simulator: the exact request lines it
// received, what the operation read back and what it did to the server.
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
using Lines = std::vector<std::string>;

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
    Lines Sent() {
        Lines lines = m_sim.CliLines();
        m_sim.Control("reset");
        return lines;
    }
    static std::string P(const std::string& rest) { return std::string(kMac) + " " + rest; }

    SlimSimulator m_sim;
    SlimCLIConnection m_cli;
};

template <typename T>
std::string S(T value) {
    return std::to_string(value);
}

// "<returned> <total>: name,name,..."
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

using C = SlimCLIConnection;
template <typename List = BrowseEntryList, typename Call>
std::function<std::string(C&)> Listed(Call call) {
    return [call](C& c) {
        List list;
        const long returned = call(c, list);
        return Page(returned, list);
    };
}
std::function<std::string(C&)> Done(std::function<void(C&)> call) {
    return [call](C& c) {
        call(c);
        return std::string();
    };
}

TEST_F(SlimCLISimulator, EveryOperationSendsItsRequestAndActsOnTheServer) {
    const Lines kStatus1 = {P("status - 1 tags:galdtypesru")};
    const struct {
        std::function<std::string(C&)> call;
        std::string result;
        Lines sent;
    } steps[] = {
        {[](C& c) { return c.GetVersion().Std(); }, "6.5.5", {"version ?"}},
        {[](C& c) {
             const unsigned long counts[] = {c.GetGenreCount(), c.GetArtistCount(), c.GetAlbumCount(), c.GetSongCount(),
                                             c.GetTotal("albums", "artist_id:1")};
             return S(counts[0]) + S(counts[1]) + S(counts[2]) + S(counts[3]) + S(counts[4]);
         },
         "456132",
         {"info total genres ?", "info total artists ?", "info total albums ?", "info total songs ?",
          "albums 0 0 artist_id:1"}},
        {Listed([](C& c, auto& l) { return c.GetGenres(0, 50, l); }),
         "4 4:Classical,\xC3\x89lectronique,Jazz,Rock & Roll",
         {"genres 0 50"}},
        {Listed([](C& c, auto& l) { return c.GetArtists(1, 0, 50, l); }),
         "2 2:Anna Ames,The Quiet Tones",
         {"artists 0 50 genre_id:1"}},
        {Listed([](C& c, auto& l) { return c.GetGenres(7, 9, 0, 50, l); }),
         "0 0:",
         {"genres 0 50 album_id:9 artist_id:7"}},
        {Listed([](C& c, auto& l) { return c.GetAlbums(1, 2, 0, 10, l); }),
         "0 0:",
         {"albums 0 10 genre_id:1 artist_id:2"}},
        {Listed([](C& c, auto& l) { return c.GetPlaylists(0, 10, l); }),
         "2 2:Party Mix,Quiet Evening",
         {"playlists 0 10"}},
        {Listed<SongList>([](C& c, auto& l) { return c.GetTracks(0, 0, 1, 0, 100, l); }),
         "3 3:Sunrise Walk,Coffee & Rain,Blue Hour",
         {"titles 0 100 album_id:1 sort:tracknum"}},
        {Listed<SongList>([](C& c, auto& l) { return c.GetTracks(3, 4, 0, 0, 100, l); }),
         "0 0:",
         {"titles 0 100 genre_id:3 artist_id:4"}},
        // The whole song list is only counted.
        {Listed<SongList>([](C& c, auto& l) { return c.GetTracks(0, 0, 0, 0, 100, l); }),
         "0 13:",
         {"info total songs ?"}},
        {[](C& c) {
             SongInfo track;
             c.GetTrackInfo(1, track);
             return std::string(track.title.c_str()) + " " + track.genre.c_str() + " " + track.trackNum.c_str();
         },
         "Sunrise Walk Jazz 1",
         {"songinfo 0 14 track_id:1 tags:gacbhldtyovrfu"}},
        {[](C& c) { return S(c.GetArtistStartIndex('b', 0, 2, SlimConnection::Direction::Forward)); }, "2", {}},
        {[](C& c) { return S(c.GetArtistStartIndex('Q', 0, 2, SlimConnection::Direction::Forward)); }, "4", {}},
        {[](C& c) { return S(c.GetArtistStartIndex('l', 4, 2, SlimConnection::Direction::Backward)); }, "3", {}},
        {[](C& c) { return S(c.GetArtistStartIndex('z', 0, 2, SlimConnection::Direction::Forward)); }, "-1", {}},
        {Done([](C& c) { c.ClearCurrentPlaylist(); }), "", {P("playlist clear")}},
        {Done([](C& c) { c.AddToCurrentPlaylist(0, 0, 1); }), "", {P("playlistcontrol cmd:add album_id:1")}},
        {[](C& c) { return Status(c, 5); },
         "3 0 Sunrise Walk / Coffee & Rain Blue Hour",
         {P("status - 6 tags:galdtypesru")}},
        {Done([](C& c) { c.RemoveFromCurrentPlaylist(2); }), "", {P("playlist delete 2")}},
        {Done([](C& c) { c.AddToCurrentPlaylist(5); }), "", {P("playlistcontrol cmd:add track_id:5")}},
        {Done([](C& c) { c.AddToCurrentPlaylist(1, 0, 0); }), "", {P("playlistcontrol cmd:add genre_id:1")}},
        {Listed<SongList>([](C& c, auto& l) { return c.GetCurrentPlaylist(1, 1000, l, true); }),
         "9 9:Coffee & Rain,S\xC3\xBC\xC3\x9F"
         "e Stille,Dusk,Lamplight (Reprise),Plain Song,Sunrise Walk,Coffee & Rain,Blue Hour",
         {}},
        {Done([](C& c) { c.ReplaceCurrentPlaylist(0, 0, 2); }),
         "",
         {P("playlist clear"), P("playlistcontrol cmd:add album_id:2"), P("playlist index 0"), P("mode play")}},
        {Done([](C& c) { c.InsertInCurrentPlaylist(5ul); }), "", {P("playlistcontrol cmd:insert track_id:5")}},
        {Done([](C& c) { c.InsertInCurrentPlaylist(1, 0, 2); }),
         "",
         {P("playlistcontrol cmd:insert genre_id:1 album_id:2")}},
        {Done([](C& c) { c.InsertInCurrentPlaylist(0, 3, 0); }), "", {P("playlistcontrol cmd:insert artist_id:3")}},
        {Done([](C& c) { c.InsertInCurrentPlaylist("file:///music/a.mp3"); }),
         "",
         {P("playlist insert file:///music/a.mp3")}},
        {Done([](C& c) { c.AddPlaylist(15ul); }), "", {P("playlistcontrol cmd:add playlist_id:15")}},
        {Done([](C& c) {
             c.ClearCurrentPlaylist();
             c.AddPlaylist("14");
         }),
         "",
         {P("playlist clear"), P("playlistcontrol cmd:add playlist_id:14")}},
        {[](C& c) { return Status(c, 0); }, "3 0 Coffee & Rain /", kStatus1},
        {Done([](C& c) { c.PlayPlaylist(14ul); }), "", {P("playlistcontrol cmd:load playlist_id:14")}},
        {[](C& c) { return Status(c, 5); },
         "3 0 Coffee & Rain / Nordlys Highway 9",
         {P("status - 6 tags:galdtypesru")}},
        {[](C& c) { return c.GetCurrentSongYear().Std() + " " + S(c.GetCurrentSongDuration()); },
         "2001 3",
         {kStatus1[0], kStatus1[0]}},
        // A page at or past the end sets the total and asks for nothing more.
        {Listed<SongList>([](C& c, auto& l) { return c.GetCurrentPlaylist(3, 10, l, true); }), "3 3:", kStatus1},
        {Listed<SongList>([](C& c, auto& l) { return c.GetCurrentPlaylist(100, 10, l, true); }), "3 3:", kStatus1},
        // Within the song fast forward seeks; 30 s do not fit in a song of 3 s,
        // so it jumps to the next one.
        {Done([](C& c) { c.FastForward(1); }), "", {kStatus1[0], kStatus1[0], P("time +1")}},
        {Done([](C& c) { c.FastForward(30); }), "", {kStatus1[0], kStatus1[0], P("playlist index +1"), P("mode play")}},
        {Done([](C& c) {
             c.Stop();
             c.SetRate(-2);
             c.Rewind(10);
             c.JumpToNextSong();
             c.JumpToPreviousSong();
             c.Power(true);
         }),
         "",
         {P("mode stop"), P("rate -2"), P("time -10"), P("playlist index +1"), P("mode play"), P("playlist index -1"),
          P("mode play"), P("power 1")}},
        {[](C& c) {
             const int modes[] = {c.SetShuffle(1), c.SetRepeat(2), c.ToggleRepeat()};
             return S(modes[0]) + S(modes[1]) + S(modes[2]);
         },
         "120",
         {P("playlist shuffle 1"), kStatus1[0], P("playlist repeat 2"), kStatus1[0], P("playlist repeat"),
          kStatus1[0]}},
    };
    for (const auto& step : steps) {
        const std::string result = step.call(m_cli);
        const Lines sent = Sent();
        SCOPED_TRACE(sent.empty() ? "(nothing sent)" : sent.front());
        EXPECT_EQ(step.result, result);
        if (!step.sent.empty()) {
            EXPECT_EQ(step.sent, sent);
        }
    }
}

// The whole name is escaped, so a ":" cannot make it a tagged parameter and
// a "%" is not taken for an escape; the server lists it as typed.
TEST_F(SlimCLISimulator, SavedPlaylistsFoldersAndCovers) {
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
    BrowseEntryList top, inner, covers;
    CascadeString location;
    EXPECT_GT(m_cli.GetFolderItems("", 0, 50, top, location), 0u);
    ASSERT_GT(top.GetNumEntries(), 0u);
    m_cli.GetFolderItems(top.Item(0)->id.c_str(), 0, 50, inner, location);
    EXPECT_GT(inner.GetNumEntries(), 0u);
    EXPECT_FALSE(location.IsEmpty());
    EXPECT_EQ(5u, m_cli.GetAlbumArtwork(0, 2, covers));  // one of the six albums has no cover
    ASSERT_EQ(3u, covers.GetNumEntries());
    EXPECT_TRUE(covers.Item(0)->url.StartsWith("http://127.0.0.1:" + S(m_sim.GetPorts().web) + "/music/"));
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

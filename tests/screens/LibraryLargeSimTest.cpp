// The library window against the server simulator with a large generated
// library (20,000 extra tracks, each with its own artist and album): counts,
// narrowing, and the playlist commands checked through the simulator's
// own CLI.
#include "screens/MusicLibraryWindow.h"

#include "LibraryFakeServer.h"
#include "platform/CascadeKeys.h"
#include "server/SlimCLIConnection.h"
#include "support/SlimSimulator.h"

#include <cstdlib>
#include <fstream>
#include <regex>

namespace {

using Level = LibraryLevel;
constexpr const char* kMac = "00:04:20:12:34:57";
constexpr int kLargeTracks = 20000;

// Made once per build directory; a lock keeps two test processes from
// making it at the same time.
std::string LargeLibrary() {
    const char* build = std::getenv("QUENDREL_BUILD_DIR");
    const char* source = std::getenv("QUENDREL_SOURCE_DIR");
    const std::string dir = std::string(build ? build : "/tmp") + "/sim-library-large";
    if (std::ifstream(dir + "/manifest.json").good()) return dir;
    const std::string command = "flock '" + dir + ".lock' sh -c \"test -f '" + dir + "/manifest.json' || python3 '" +
                                std::string(source ? source : ".") + "/tools/slimserver-sim/make-library' '" + dir +
                                "' --large " + std::to_string(kLargeTracks) + " >/dev/null\"";
    return std::system(command.c_str()) == 0 ? dir : std::string();
}

class LibraryLargeSimTest : public LibraryScreenTest {
protected:
    void SetUp() override {
        LibraryScreenTest::SetUp();
        const std::string library = LargeLibrary();
        ASSERT_FALSE(library.empty());
        ASSERT_TRUE(m_sim.Start({}, {"--library", library}));
        ASSERT_TRUE(m_sim.ConnectPlayer(kMac));
        m_cli.SetPlayerId(kMac);
        m_cli.SetWebPort(std::to_string(m_sim.GetPorts().web));
        ASSERT_TRUE(m_cli.Connect("127.0.0.1", m_sim.GetPorts().cli));
        context.server = &m_cli;
        m_window = std::make_unique<MusicLibraryWindow>();
        m_window->Attach(context);
        m_window->SetRectAbsolute({0, 0, 1024, 576});
        m_sim.Control("reset");
        m_window->Materialize(1);
        Tick();
    }
    void TearDown() override {
        m_window.reset();
        LibraryScreenTest::TearDown();
    }
    LibraryLevels& Levels() { return m_window->GetLevels(); }
    void Settle() { ASSERT_TRUE(m_window->WaitUntilIdle(60000)); }
    void Tick() {
        Levels().Tick();
        Settle();
    }
    void Pause() {
        for (int i = 0; i <= LibraryLevels::kReloadTicks; ++i) Tick();
    }
    void Press(unsigned long key) {
        Key(key);
        Settle();
    }
    unsigned long Total(const std::string& what, const std::string& filter = "") {
        const std::string reply = m_sim.Cli(what + " 0 1" + filter);
        std::smatch match;
        const std::regex count("count(%3A|:)(\\d+)");
        return std::regex_search(reply, match, count) ? std::stoul(match[2]) : 0;
    }
    // The simulator's playlist for the player: its song ids in order.
    std::vector<std::string> SimPlaylist() {
        const std::string reply = m_sim.Cli(std::string(kMac) + " status 0 1000 tags:");
        std::vector<std::string> ids;
        const std::regex id("playlist(%20|\\s)index(%3A|:)\\d+ id(%3A|:)(\\d+)");
        for (auto it = std::sregex_iterator(reply.begin(), reply.end(), id); it != std::sregex_iterator(); ++it)
            ids.push_back((*it)[4]);
        return ids;
    }

    SlimSimulator m_sim;
    SlimCLIConnection m_cli;
    std::unique_ptr<MusicLibraryWindow> m_window;
};

TEST_F(LibraryLargeSimTest, AllRowsCountAGenreNarrowsAndPlaylistCommandsChangeTheServersPlaylist) {
    const unsigned long artists = Total("artists");
    ASSERT_GT(artists, unsigned(kLargeTracks));
    EXPECT_EQ(Levels().RowNames(Level::kGenre).front(), LibraryLevels::AllRowText(Total("genres"), Level::kGenre));
    EXPECT_EQ(Levels().RowNames(Level::kArtist).front(), LibraryLevels::AllRowText(artists, Level::kArtist));
    EXPECT_EQ(Levels().RowNames(Level::kAlbum).front(), LibraryLevels::AllRowText(Total("albums"), Level::kAlbum));
    EXPECT_EQ(Levels().RowNames(Level::kTrack).front(), LibraryLevels::AllRowText(Total("titles"), Level::kTrack));
    CascadeString pages;
    pages.Format("Page 1 of %lu", (artists + 5) / 6);
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).label, pages);
    Screenshot("library-large");

    // The first genre narrows the levels below, after the pause.
    Press(CascadeKeys::kDown);
    const std::string filter = " genre_id:" + Levels().SelectedCell(Level::kGenre, 1).Std();
    Tick();
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).total, artists);  // not yet
    Pause();
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).total, Total("artists", filter));
    EXPECT_LT(Levels().GetPageState(Level::kArtist).total, artists);
    EXPECT_EQ(Levels().GetPageState(Level::kAlbum).total, Total("albums", filter));
    EXPECT_EQ(Levels().GetPageState(Level::kTrack).total, Total("titles", filter));

    // The genre's first album and its first track.
    Levels().List(Level::kAlbum).SetFocus();
    Press(CascadeKeys::kDown);
    Pause();
    const unsigned long albumTracks = Levels().GetPageState(Level::kTrack).total;
    ASSERT_GT(albumTracks, 0u);
    Levels().List(Level::kTrack).SetFocus();
    Press(CascadeKeys::kDown);
    const std::string trackId = Levels().SelectedCell(Level::kTrack, 2).Std();
    m_window->OnManagePlaylistCommand("clear");
    EXPECT_TRUE(SimPlaylist().empty());
    m_window->OnManagePlaylistCommand("play");  // the track alone
    EXPECT_EQ(SimPlaylist(), std::vector<std::string>{trackId});
    Levels().List(Level::kAlbum).SetFocus();
    m_window->OnManagePlaylistCommand("add");  // the album after it
    std::vector<std::string> playlist = SimPlaylist();
    ASSERT_EQ(playlist.size(), 1 + albumTracks);
    EXPECT_EQ(playlist.front(), trackId);
    Levels().List(Level::kTrack).SetFocus();
    m_window->OnManagePlaylistCommand("insert");  // the track after the current one
    playlist = SimPlaylist();
    ASSERT_EQ(playlist.size(), 2 + albumTracks);
    EXPECT_EQ(playlist[1], trackId);
    // The listener is not attached here: the playlist list is reloaded by hand.
    m_window->OnPlaylistChanged("add");
    Settle();
    Levels().List(Level::kPlaylist).SetFocus();
    Press(CascadeKeys::kDown);  // entry 1
    m_window->OnManagePlaylistCommand("remove");
    EXPECT_EQ(SimPlaylist().size(), 1 + albumTracks);
    Levels().List(Level::kAlbum).SetFocus();
    m_window->OnManagePlaylistCommand("play");  // the album replaces the playlist
    EXPECT_EQ(SimPlaylist().size(), albumTracks);
    // Play on a playlist entry jumps to it.
    m_window->OnPlaylistChanged("load");
    Settle();
    Levels().List(Level::kPlaylist).SetFocus();
    const int entry = albumTracks > 1 ? 1 : 0;
    Levels().List(Level::kPlaylist).SetSelectedIndex(entry, EListView::RedrawMode::kNoRedraw);
    m_window->OnManagePlaylistCommand("play");
    const std::string index = m_sim.Cli(std::string(kMac) + " playlist index ?");
    EXPECT_EQ(index.substr(index.rfind(' ') + 1), std::to_string(entry)) << index;
}

}  // namespace

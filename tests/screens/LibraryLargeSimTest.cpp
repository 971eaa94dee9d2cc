// The library window and its filter dialog against the server simulator
// with a large generated library (20,000 extra tracks, each with its own
// artist and album): counts, narrowing, the playlist commands checked
// through the simulator's own CLI, the dialogs Select and Options open, the
// listener's reloads, the page rule every paged list follows, and the
// filter's result.
#include "screens/FilterDialog.h"
#include "screens/MusicLibraryWindow.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"
#include "server/SlimCLIConnection.h"
#include "support/SlimSimulator.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>

namespace {

using Level = LibraryLevel;
namespace K = CascadeKeys;
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

class LibraryLargeSimTest : public ScreenFixture, public FilterDialog::Client {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        const std::string library = LargeLibrary();
        ASSERT_FALSE(library.empty());
        ASSERT_TRUE(m_sim.Start({}, {"--library", library}));
        ASSERT_TRUE(m_sim.ConnectPlayer(kMac));
        m_cli.SetPlayerId(kMac);
        m_cli.SetWebPort(std::to_string(m_sim.GetPorts().web));
        ASSERT_TRUE(m_cli.Connect("127.0.0.1", m_sim.GetPorts().cli));
        context.server = &m_cli;
        m_window = std::make_unique<MusicLibraryWindow>();
        m_sim.Control("reset");
        ShowFullScreen(*m_window);
        Tick();
    }
    void TearDown() override {
        m_window.reset();
        ScreenFixture::TearDown();
    }
    LibraryLevels& Levels() { return m_window->GetLevels(); }
    // Waits for the loaders of the window and of the filter dialog.
    void Settle() {
        ASSERT_TRUE(!m_window || m_window->WaitUntilIdle(60000));
        ASSERT_TRUE(m_filter.WaitUntilIdle(60000));
    }
    void Tick(int ticks = 1) {
        for (int i = 0; i < ticks; ++i) {
            (m_window ? Levels() : m_filter.GetLevels()).Tick();
            Settle();
        }
    }
    // The pause after which a selection narrows the levels below it.
    void Pause() { Tick(LibraryLevels::kReloadTicks + 1); }
    void Press(unsigned long key, int times = 1) {
        for (int i = 0; i < times; ++i) {
            Key(key);
            Settle();
        }
    }
    void OnFilterResult(unsigned long genreId, const char*, unsigned long artistId, const char*) override {
        results.push_back(std::to_string(genreId) + " " + std::to_string(artistId));
    }
    // Whether the simulator saw a line containing `part` since the last reset.
    bool Asked(const std::string& part) {
        const std::vector<std::string> lines = m_sim.CliLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; });
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
    FilterDialog m_filter;
    std::vector<std::string> results;
};

TEST_F(LibraryLargeSimTest, AllRowsCountAGenreNarrowsAndPlaylistCommandsChangeTheServersPlaylist) {
    // The showing's reload ran behind the please-wait window; its page loads did not.
    EXPECT_EQ(fakeApp.Read(fakeApp.messages),
              (std::vector<uint32_t>{AppServices::kShowPleaseWait, AppServices::kSetPleaseWaitFocus,
                                     AppServices::kHidePleaseWait}));
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
    Press(K::kDown);
    const std::string byGenre = " genre_id:" + Levels().SelectedCell(Level::kGenre, 1).Std();
    Tick();
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).total, artists);  // not yet
    Pause();
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).total, Total("artists", byGenre));
    EXPECT_LT(Levels().GetPageState(Level::kArtist).total, artists);
    EXPECT_EQ(Levels().GetPageState(Level::kAlbum).total, Total("albums", byGenre));
    EXPECT_EQ(Levels().GetPageState(Level::kTrack).total, Total("titles", byGenre));

    // The genre's first album and its first track.
    Levels().List(Level::kAlbum).SetFocus();
    Press(K::kDown);
    Pause();
    const unsigned long albumTracks = Levels().GetPageState(Level::kTrack).total;
    ASSERT_GT(albumTracks, 0u);
    Levels().List(Level::kTrack).SetFocus();
    Press(K::kDown);
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
    // Another of the genre's tracks goes in after the current one.
    Press(K::kUp);  // the albums' "All" row
    Pause();
    Levels().List(Level::kTrack).SetFocus();
    Press(K::kDown, 2);
    playlist.insert(playlist.begin() + 1, Levels().SelectedCell(Level::kTrack, 2).Std());
    ASSERT_NE(playlist[1], trackId);
    m_window->OnManagePlaylistCommand("insert");
    EXPECT_EQ(SimPlaylist(), playlist);
    // The listener is not attached here: the playlist list is reloaded by hand.
    m_window->OnPlaylistChanged("add");
    Settle();
    Levels().List(Level::kPlaylist).SetFocus();
    Press(K::kDown, 2);
    m_window->OnManagePlaylistCommand("play");  // a playlist entry: a jump to it
    const std::string index = m_sim.Cli(std::string(kMac) + " playlist index ?");
    EXPECT_EQ(index.substr(index.rfind(' ') + 1), "2") << index;
    m_window->OnManagePlaylistCommand("remove");
    EXPECT_EQ(SimPlaylist().size(), 1 + albumTracks);
    Levels().List(Level::kAlbum).SetFocus();
    Press(K::kDown);
    Pause();
    m_window->OnManagePlaylistCommand("play");  // the album replaces the playlist
    EXPECT_EQ(SimPlaylist().size(), albumTracks);

    // Select and Options open the dialogs of the focused list; Exit closes
    // them and tells no one.
    ManagePlaylistDialog& manage = m_window->GetManageDialog();
    Levels().List(Level::kTrack).SetSelectedIndex(1, EListView::RedrawMode::kNoRedraw);
    const struct {
        Level focus;
        unsigned long key;
        CascadeWindow* opens;
        ManagePlaylistDialog::DialogType type;
    } dialogs[] = {
        {Level::kGenre, K::kSelect, &manage, ManagePlaylistDialog::kLibrarySelection},
        {Level::kTrack, K::kSelect, &manage, ManagePlaylistDialog::kSong},
        {Level::kPlaylist, K::kSelect, &manage, ManagePlaylistDialog::kPlaylistEntry},
        {Level::kTrack, K::kOptions, &m_window->GetSongInfoDialog(), {}},
        {Level::kAlbum, K::kOptions, &m_window->GetAlbumInfoDialog(), {}},
        {Level::kArtist, K::kOptions, nullptr, {}},
    };
    for (const auto& d : dialogs) {
        SCOPED_TRACE(int(d.focus));
        Levels().List(d.focus).SetFocus();
        Press(d.key);
        EXPECT_EQ(d.opens && d.opens->IsVisible(), d.opens != nullptr);
        EXPECT_EQ(d.opens == &manage ? manage.GetType() : d.type, d.type);
        if (d.opens) Press(K::kExit);
        EXPECT_TRUE(Levels().List(d.focus).IsFocus());
    }

    // Every playlist change but a jump reloads the playlist list.
    m_sim.Control("reset");
    m_window->OnPlaylistChanged("jump");
    m_window->OnRepeatChanged(1);
    Settle();
    EXPECT_FALSE(Asked(" status "));
    m_window->OnShuffleChanged(1);
    Settle();
    EXPECT_TRUE(Asked(" status "));

    // The page rule of every paged list: Down on a page's last row shows the
    // next page with row 1 selected, Up on row 0 the previous page's last
    // row; page 1 goes back to the last page and Zoom Out past it to page 1;
    // with wrap-around the selection stays on the page.
    Levels().List(Level::kArtist).SetFocus();
    const unsigned long genreArtists = Levels().GetPageState(Level::kArtist).total;
    ASSERT_GT(genreArtists, 12u);
    const unsigned long lastPage = (genreArtists + 5) / 6;
    Press(K::kDown, 7);
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).page, 2u);
    EXPECT_EQ(Levels().SelectedRow(Level::kArtist), 1);
    Press(K::kUp, 2);
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).page, 1u);
    EXPECT_EQ(Levels().SelectedRow(Level::kArtist), 6);
    Press(K::kZoomIn);
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).page, lastPage);
    Press(K::kZoomOut);
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).page, 1u);
    g_wrapAround = 1;
    Levels().List(Level::kArtist).SetSelectedIndex(0, EListView::RedrawMode::kNoRedraw);
    m_sim.Control("reset");
    Press(K::kUp);
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).page, 1u);
    EXPECT_EQ(Levels().SelectedRow(Level::kArtist), 6);
    EXPECT_FALSE(Asked("artists "));

    // The filter dialog reports the genre and artist chosen in it.
    m_window.reset();
    player.display.SetFocus();
    m_filter.Attach(context);
    m_filter.ShowDialog(this);
    Tick();
    const CascadeRect rect = m_filter.GetRectAbsolute();
    EXPECT_EQ(CascadeRect((1024 - rect.w) / 2, (576 - rect.h) / 2, rect.w, rect.h), rect);
    Screenshot("filter");
    // The skin's title is taller than the room above the panels: its accent
    // bar must not cross the genre panel's strip and page text.
    EXPECT_EQ(0, CountPixels({rect.x + 150, rect.y + 52, 124, 25},
                             [](uint8_t r, uint8_t g, uint8_t b) { return r < 120 && g > 150 && b > 130; }));
    Press(K::kDown);
    Pause();
    Press(K::kRight);
    Press(K::kDown, 2);
    LibraryLevels& levels = m_filter.GetLevels();
    EXPECT_EQ(levels.GetReloadRequest(), "") << "the artists are the last level";
    const std::string chosen =
        std::to_string(levels.SelectedId(Level::kGenre)) + " " + std::to_string(levels.SelectedId(Level::kArtist));
    EXPECT_EQ(levels.GetPageState(Level::kArtist).total, Total("artists", byGenre));
    Press(K::kSelect);  // to the button first
    EXPECT_TRUE(results.empty());
    Press(K::kSelect);
    EXPECT_FALSE(m_filter.IsVisible());
    EXPECT_EQ(results, std::vector<std::string>{chosen});
    EXPECT_TRUE(player.display.IsFocus());
    m_filter.ShowDialog(this);
    Press(K::kExit);
    EXPECT_EQ(results.size(), 1u);
    EXPECT_TRUE(player.display.IsFocus());
}

}  // namespace

// The library browser and its filter dialog over a fake library: the letter
// arithmetic, the requests each showing, page key, pause and letter jump
// makes, the playlist commands for each focused list, the dialogs its keys
// open, the listener's reloads, and closing during a slow load.
#include "screens/FilterDialog.h"
#include "screens/MusicLibraryWindow.h"

#include "LibraryFakeServer.h"
#include "platform/CascadeKeys.h"
#include "screens/LetterJump.h"

namespace {

using Level = LibraryLevel;
using Lines = std::vector<std::string>;
using Names = std::vector<CascadeString>;
namespace K = CascadeKeys;

TEST(LetterJumpTest, StartLettersSearchLettersAndPages) {
    const ETokenArray ignores("The,Los", ",", CascadeCase::Insensitive);
    const std::pair<const char*, char> starts[] = {
        {"THE Who", 'w'}, {"Theatre of Tragedy", 't'}, {"The", 't'},          {"10cc", '1' + 32},
        {"", '\0' + 32},  {"The Ölands", 'o'},         {"Électronique", 'e'}, {"Æther", char(0xC3)},
    };
    for (const auto& [name, letter] : starts) EXPECT_EQ(LetterJump::StartLetter(name, &ignores), letter) << name;
    EXPECT_EQ(LetterJump::ForwardLetter('1' + 32), 'a');  // digits sort before the letters
    EXPECT_EQ(LetterJump::ForwardLetter(char(0xC3)), std::nullopt);
    EXPECT_EQ(LetterJump::BackwardLetter(char(0xC3)), 'z');
    const struct {
        long index;
        unsigned long pageSize, forward, backward;
    } pages[] = {{5, 5, 2, 2}, {7, 5, 2, 2}, {-1, 5, 1, 0}, {3, 0, 1, 0}};  // backward rounds up: (7 + 1) / 5 is 1
    for (const auto& c : pages) {
        EXPECT_EQ(LetterJump::ForwardPage(c.index, c.pageSize), c.forward) << c.index << "/" << c.pageSize;
        EXPECT_EQ(LetterJump::BackwardPage(c.index, c.pageSize), c.backward) << c.index << "/" << c.pageSize;
    }
    EXPECT_EQ(LetterJump::BackwardSearchStart(1, 9, 6), 48);  // from the last page
}

class MusicLibraryWindowTest : public LibraryScreenTest {
protected:
    void SetUp() override {
        LibraryScreenTest::SetUp();
        library.genres = Entries(3, 1, [](int i) { return std::string("Genre ") + char('A' + i); });
        library.artists = Entries(20, 101, [](int i) { return "Artist " + std::to_string(100 + i); });
        for (auto& a : library.artists) a.genre = a.id % 2 ? 1 : 2;
        library.albums = Entries(4, 201, [](int i) { return "Album " + std::to_string(i); });
        for (auto& a : library.albums) a.artist = 101, a.genre = 1;
        for (unsigned long i = 0; i < 30; ++i)
            library.tracks.push_back({1001 + i, 1, 101, 201, "Song " + std::to_string(i), "Artist 100"});
        library.playlist = {{1001, 1, 101, 201, "Song 0", "N/A"}, {1002, 1, 101, 201, "Song 1", ""}};
    }
    void TearDown() override {
        m_window.reset();
        LibraryScreenTest::TearDown();
    }
    // Shows the window full-screen and lets the first tick load every level.
    void Show() {
        m_window = std::make_unique<MusicLibraryWindow>();
        m_window->Attach(context);
        m_window->SetRectAbsolute({0, 0, 1024, 576});
        m_window->Materialize(1);
        Tick();
    }
    LibraryLevels& Levels() { return m_window->GetLevels(); }
    void Settle() { ASSERT_TRUE(m_window->WaitUntilIdle(5000)); }
    void Tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            Levels().Tick();
            Settle();
        }
    }
    void Press(unsigned long key, int times = 1) {
        for (int i = 0; i < times; ++i) {
            Key(key);
            Settle();
        }
    }
    // Presses `key` and returns the requests it made.
    Lines RequestsFor(unsigned long key) {
        library.ClearRequests();
        Press(key);
        return library.Requests();
    }
    void Focus(Level level) { Levels().List(level).SetFocus(); }
    std::string Label(Level level) { return Levels().GetPageState(level).label.Std(); }

    std::unique_ptr<MusicLibraryWindow> m_window;
};

TEST_F(MusicLibraryWindowTest, ShowingLoadsEveryLevelWithItsAllRowBehindThePleaseWaitWindow) {
    Show();
    EXPECT_EQ(library.Requests(),
              (Lines{"status 0 12", "genres 0 6", "artists 0 6", "albums 0 6", "info total songs ?"}));
    EXPECT_EQ(Levels().RowNames(Level::kGenre), (Names{"All (3 Genres)", "Genre A", "Genre B", "Genre C"}));
    EXPECT_EQ(Levels().RowNames(Level::kArtist).front(), "All (20 Artists)");
    EXPECT_EQ(Levels().RowNames(Level::kTrack), Names{"All (30 Tracks)"});  // the whole library's are only counted
    EXPECT_EQ(Levels().RowNames(Level::kPlaylist), (Names{"Song 0", "Song 1"}));
    EXPECT_FALSE(Levels().List(Level::kPlaylist).GetColumnByID("Artist")->visible) << "no artist known";
    EXPECT_TRUE(Levels().List(Level::kGenre).IsFocus());
    EXPECT_EQ(fakeApp.Read(fakeApp.messages),
              (std::vector<uint32_t>{AppServices::kShowPleaseWait, AppServices::kSetPleaseWaitFocus,
                                     AppServices::kHidePleaseWait}));
    Screenshot("library");
}

// How every paged list in the screens pages, tested here once.
TEST_F(MusicLibraryWindowTest, PageKeysAndArrowsAtTheEndsOfAPageFollowThePageRule) {
    Show();
    Focus(Level::kArtist);
    Press(K::kDown, 6);
    EXPECT_EQ(Label(Level::kArtist), "Page 1 of 4");
    EXPECT_EQ(RequestsFor(K::kDown), Lines{"artists 6 6"});  // on the last row: the next page, row 1
    EXPECT_EQ(Label(Level::kArtist), "Page 2 of 4");
    EXPECT_EQ(Levels().SelectedRow(Level::kArtist), 1);
    EXPECT_EQ(Levels().SelectedCell(Level::kArtist, 0), "Artist 106");
    Press(K::kUp, 2);  // on row 0: the previous page, its last row
    EXPECT_EQ(Label(Level::kArtist), "Page 1 of 4");
    EXPECT_EQ(Levels().SelectedRow(Level::kArtist), 6);
    Press(K::kUp, 7);  // to row 0, then to the last page
    EXPECT_EQ(Levels().RowNames(Level::kArtist), (Names{"All (20 Artists)", "Artist 118", "Artist 119"}));
    EXPECT_EQ(Levels().SelectedCell(Level::kArtist, 0), "Artist 119");
    // Zoom Out past the last page shows page 1; Zoom In on page 1 the last.
    const struct {
        unsigned long key;
        const char* label;
        const char* request;
    } steps[] = {
        {K::kZoomOut, "Page 1 of 4", "artists 0 6"},
        {K::kZoomIn, "Page 4 of 4", "artists 18 6"},
        {K::kZoomIn, "Page 3 of 4", "artists 12 6"},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(RequestsFor(step.key), Lines{step.request});
        EXPECT_EQ(Label(Level::kArtist), step.label);
    }
    // With wrap-around the selection stays on the page.
    g_wrapAround = 1;
    Focus(Level::kGenre);
    Press(K::kDown, 3);
    EXPECT_TRUE(RequestsFor(K::kDown).empty());
    EXPECT_EQ(Levels().SelectedRow(Level::kGenre), 0);
    Press(K::kUp);
    EXPECT_EQ(Levels().SelectedRow(Level::kGenre), 3);
}

TEST_F(MusicLibraryWindowTest, PlaylistCommandsSendWhatTheFocusAndSelectionSay) {
    Show();
    // Genre A, its first artist, album and track; playlist entry 1.
    for (Level level : {Level::kGenre, Level::kArtist, Level::kAlbum}) {
        Focus(level);
        Press(K::kDown);
        Tick(6);
    }
    Focus(Level::kTrack);
    Press(K::kDown);
    Focus(Level::kPlaylist);
    Press(K::kDown);
    ASSERT_EQ(Levels().SelectedCell(Level::kTrack, 0), "Song 0");
    const Lines replaceTrack{"playlist clear", "playlistcontrol cmd:add track_id:1001", "playlist index 0"};
    const Lines replaceSelection{"playlist clear", "playlistcontrol cmd:add genre_id:1 artist_id:101 album_id:201",
                                 "playlist index 0"};
    const struct {
        Level focus;
        const char* command;
        Lines requests;
    } cases[] = {
        {Level::kPlaylist, "play", {"playlist index 1"}},
        {Level::kTrack, "PLAY", replaceTrack},
        {Level::kAlbum, "play", replaceSelection},
        {Level::kGenre, "insert", {"playlistcontrol cmd:insert genre_id:1 artist_id:101 album_id:201"}},
        {Level::kGenre, "remove", {"playlist delete 1"}},  // the playlist entry, whatever has the focus
    };
    for (const auto& c : cases) {
        Focus(c.focus);
        library.ClearRequests();
        m_window->OnManagePlaylistCommand(c.command);
        EXPECT_EQ(library.Requests(), c.requests) << c.command;
    }
    EXPECT_EQ(fakeApp.Read(fakeApp.commands).size(), std::size(cases)) << "all over the command queue";
    // The track list's "All" row plays the whole selection; so does Play.
    Focus(Level::kTrack);
    Press(K::kUp);
    EXPECT_EQ(RequestsFor(K::kPlay), replaceSelection);
}

TEST_F(MusicLibraryWindowTest, SelectAndOptionsOpenTheDialogsOfTheFocusedList) {
    Show();
    Press(K::kDown);  // Genre A, whose tracks are listed after the pause
    Tick(6);
    ManagePlaylistDialog& manage = m_window->GetManageDialog();
    const struct {
        Level focus;
        int downs;
        unsigned long key;
        CascadeWindow* opens;  // null: nothing
        ManagePlaylistDialog::DialogType type;
    } cases[] = {
        {Level::kGenre, 1, K::kSelect, &manage, ManagePlaylistDialog::kLibrarySelection},
        {Level::kTrack, 1, K::kSelect, &manage, ManagePlaylistDialog::kSong},
        {Level::kPlaylist, 0, K::kSelect, &manage, ManagePlaylistDialog::kPlaylistEntry},
        {Level::kTrack, 1, K::kOptions, &m_window->GetSongInfoDialog(), {}},
        {Level::kAlbum, 1, K::kOptions, &m_window->GetAlbumInfoDialog(), {}},
        {Level::kArtist, 0, K::kOptions, nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.focus) * 10 + c.downs);
        Focus(c.focus);
        Levels().List(c.focus).SetSelectedIndex(c.downs, EListView::RedrawMode::kNoRedraw);
        Press(c.key);
        if (!c.opens) {
            EXPECT_TRUE(Levels().List(c.focus).IsFocus());
            continue;
        }
        ASSERT_TRUE(c.opens->IsVisible());
        EXPECT_EQ(c.opens == &manage ? manage.GetType() : c.type, c.type);
        Press(K::kExit);  // closes it and tells no one
        EXPECT_FALSE(c.opens->IsVisible());
        EXPECT_TRUE(Levels().List(c.focus).IsFocus());
    }
    // A song's first button adds it.
    Focus(Level::kTrack);
    Press(K::kSelect);
    EXPECT_EQ(RequestsFor(K::kSelect), Lines{"playlistcontrol cmd:add track_id:1001"});
}

TEST_F(MusicLibraryWindowTest, TheListenerReloadsThePlaylistExceptForAJumpWhileShown) {
    Show();
    library.ClearRequests();
    m_window->OnPlaylistChanged("jump");
    m_window->OnRepeatChanged(1);
    Settle();
    EXPECT_TRUE(library.Requests().empty());
    library.playlist.push_back({1003, 1, 101, 201, "Song 2", "Björk"});
    m_window->OnPlaylistChanged("add");
    Settle();
    m_window->OnShuffleChanged(1);
    Settle();
    EXPECT_EQ(library.Requests(), (Lines{"status 0 12", "status 0 12"}));
    EXPECT_EQ(Levels().RowNames(Level::kPlaylist).size(), 3u);
    EXPECT_TRUE(Levels().List(Level::kPlaylist).GetColumnByID("Artist")->visible) << "an artist is known now";
    Press(K::kExit);
    library.ClearRequests();
    m_window->OnPlaylistChanged("add");
    Settle();
    EXPECT_TRUE(library.Requests().empty());
}

TEST_F(MusicLibraryWindowTest, ClosingWhileASlowLoadRunsNeitherWaitsNorCrashes) {
    Show();
    Focus(Level::kArtist);
    library.ClearRequests();
    library.delayMs = 100;
    // The first flip runs; the ones after it merge into one waiting load.
    for (int i = 0; i < 5; ++i) Key(K::kZoomOut);
    Key(K::kExit);  // drops the waiting load, does not wait for the running one
    EXPECT_FALSE(m_window->IsShown());
    m_window.reset();  // waits for the running load, if it had begun
    EXPECT_LE(library.Requests().size(), 1u);
}

class FilterDialogTest : public LibraryScreenTest, public FilterDialog::Client {
protected:
    void OnFilterResult(unsigned long genreId, const char* genreName, unsigned long artistId,
                        const char* artistName) override {
        results.push_back(std::to_string(genreId) + " " + genreName + " / " + std::to_string(artistId) + " " +
                          artistName);
    }
    void Tick() {
        m_dialog.GetLevels().Tick();
        ASSERT_TRUE(m_dialog.WaitUntilIdle(5000));
    }
    void Press(unsigned long key) {
        Key(key);
        ASSERT_TRUE(m_dialog.WaitUntilIdle(5000));
    }

    FilterDialog m_dialog;
    Lines results;
};

TEST_F(FilterDialogTest, ApplyReportsTheChosenGenreAndArtistAndExitNothing) {
    library.genres = Entries(12, 1, [](int i) { return "Genre " + std::to_string(10 + i); });
    library.artists = Entries(30, 101, [](int i) { return "Artist " + std::to_string(100 + i); });
    for (auto& a : library.artists) a.genre = 1 + (a.id % 3);
    m_dialog.Attach(context);
    m_dialog.ShowDialog(this);
    Tick();
    EXPECT_EQ(library.Requests(), (Lines{"genres 0 5", "artists 0 5"}));
    const CascadeRect rect = m_dialog.GetRectAbsolute();
    EXPECT_EQ(CascadeRect((1024 - rect.w) / 2, (576 - rect.h) / 2, rect.w, rect.h), rect);
    Screenshot("filter");
    // The skin's title is taller than the room above the panels: its accent
    // bar must not cross the genre panel's strip and page text.
    EXPECT_EQ(0, CountPixels({rect.x + 150, rect.y + 52, 124, 25},
                             [](uint8_t r, uint8_t g, uint8_t b) { return r < 120 && g > 150 && b > 130; }));
    Press(K::kDown);  // Genre 10
    library.ClearRequests();
    for (int i = 0; i <= LibraryLevels::kReloadTicks; ++i) Tick();
    EXPECT_EQ(library.Requests(), Lines{"artists 0 5 genre_id:1"});
    Press(K::kRight);
    // Artist pages leave the genre alone.
    Press(K::kZoomIn);
    Press(K::kZoomOut);
    EXPECT_EQ(m_dialog.GetLevels().GetReloadRequest(), "");
    Press(K::kDown);
    Press(K::kDown);
    Press(K::kSelect);  // to the button first
    EXPECT_TRUE(results.empty());
    Press(K::kSelect);
    EXPECT_FALSE(m_dialog.IsVisible());
    EXPECT_EQ(results, Lines{"1 Genre 10 / 105 Artist 104"});  // the second artist of genre 1: 102, 105, ...
    EXPECT_TRUE(player.display.IsFocus());
    // The next showing starts from the "All" rows; Exit reports nothing.
    m_dialog.ShowDialog(this);
    Tick();
    Press(K::kDown);
    Press(K::kExit);
    EXPECT_EQ(results.size(), 1u);
    m_dialog.ShowDialog(this);
    Tick();
    Press(K::kLeft);  // genre -> button
    Press(K::kSelect);
    EXPECT_EQ(results.back().rfind("0 All (12 Genres) / 0 ", 0), 0u) << results.back();
}

}  // namespace

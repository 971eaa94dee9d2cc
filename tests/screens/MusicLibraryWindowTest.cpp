#include "screens/MusicLibraryWindow.h"

#include "LibraryFakeServer.h"
#include "platform/CascadeKeys.h"
#include "screens/LetterJump.h"

#include <algorithm>

namespace {

using Level = LibraryLevel;

// The letter arithmetic alone.
TEST(LetterJumpTest, StartLetterSkipsAnArticleFollowedByABlank) {
    const ETokenArray ignores("The,Los", ",", CascadeCase::Insensitive);
    const struct {
        const char* name;
        char letter;
    } cases[] = {
        {"The Beatles", 'b'}, {"the beatles", 'b'}, {"THE Who", 'w'},  {"Theatre of Tragedy", 't'},
        {"Los Lobos", 'l'},   {"ABBA", 'a'},        {"zappa", 'z'},    {"The", 't'},
        {"10cc", '1' + 32},   {"", '\0' + 32},      {"Sigur Rós", 's'}, {"The Ölands", 'o'},
        {"Électronique", 'e'}, {"ÿ", 'y'},        {"Æther", char(0xC3)}, {"坂本龍一", char(0xE5)},
    };
    for (const auto& c : cases) EXPECT_EQ(LetterJump::StartLetter(c.name, &ignores), c.letter) << c.name;
    EXPECT_EQ(LetterJump::StartLetter("The Beatles", nullptr), 't');
    EXPECT_EQ(LetterJump::StartLetter(nullptr, &ignores), '\0' + 32);
}

TEST(LetterJumpTest, FirstLettersOfTheSearchesAndTheirLimits) {
    EXPECT_EQ(LetterJump::ForwardLetter('b'), 'c');
    EXPECT_EQ(LetterJump::ForwardLetter('1' + 32), 'a');  // digits sort before the letters
    EXPECT_EQ(LetterJump::ForwardLetter('y'), 'z');
    EXPECT_EQ(LetterJump::ForwardLetter('z'), std::nullopt);
    EXPECT_EQ(LetterJump::ForwardLetter(char(0xC3)), std::nullopt);
    EXPECT_EQ(LetterJump::BackwardLetter('c'), 'b');
    EXPECT_EQ(LetterJump::BackwardLetter('a'), std::nullopt);
    EXPECT_EQ(LetterJump::BackwardLetter(char(0xC3)), 'z');
}

TEST(LetterJumpTest, PagesAndSearchStarts) {
    const struct {
        long index;
        unsigned long pageSize, forward, backward;
    } cases[] = {
        {0, 5, 1, 1}, {4, 5, 1, 1}, {5, 5, 2, 2}, {7, 5, 2, 2},  // backward rounds up: (7 + 1) / 5 would be 1
        {9, 5, 2, 2}, {10, 5, 3, 3}, {-1, 5, 1, 0}, {3, 0, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LetterJump::ForwardPage(c.index, c.pageSize), c.forward) << c.index << "/" << c.pageSize;
        EXPECT_EQ(LetterJump::BackwardPage(c.index, c.pageSize), c.backward) << c.index << "/" << c.pageSize;
    }
    EXPECT_EQ(LetterJump::ForwardSearchStart(3, 6), 18);   // the entry after page 3
    EXPECT_EQ(LetterJump::BackwardSearchStart(3, 9, 6), 12);  // page 3's first entry
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
        library.playlist = {{1001, 1, 101, 201, "Song 0", "Artist 100"}, {1002, 1, 101, 201, "Song 1", "N/A"}};
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
    void Tick() {
        Levels().Tick();
        Settle();
    }
    void Press(unsigned long key) {
        Key(key);
        Settle();
    }
    void Focus(Level level) { Levels().List(level).SetFocus(); }
    std::string Label(Level level) { return Levels().GetPageState(level).label.Std(); }

    std::unique_ptr<MusicLibraryWindow> m_window;
};

TEST_F(MusicLibraryWindowTest, ShowingLoadsEveryLevelWithItsAllRow) {
    Show();
    // Seven rows of 21 pixels in the small lists (six a page after "All"),
    // twelve in the large ones.
    EXPECT_EQ(library.Requests(), (std::vector<std::string>{"status 0 12", "genres 0 6", "artists 0 6",
                                                             "albums 0 6", "info total songs ?"}));
    const std::vector<CascadeString> genres = Levels().RowNames(Level::kGenre);
    EXPECT_EQ(genres, (std::vector<CascadeString>{"All (3 Genres)", "Genre A", "Genre B", "Genre C"}));
    EXPECT_EQ(Levels().RowNames(Level::kArtist).front(), "All (20 Artists)");
    EXPECT_EQ(Label(Level::kArtist), "Page 1 of 4");
    EXPECT_EQ(Levels().RowNames(Level::kTrack), (std::vector<CascadeString>{"All (30 Tracks)"}));
    EXPECT_EQ(Label(Level::kTrack), "Page 1 of 1");  // the whole library's tracks are only counted
    EXPECT_EQ(Levels().RowNames(Level::kPlaylist), (std::vector<CascadeString>{"Song 0", "Song 1"}));
    EXPECT_EQ(Levels().SelectedId(Level::kGenre), 0u);
    EXPECT_TRUE(Levels().List(Level::kGenre).IsFocus());
    // The reload ran behind the please-wait window; the page loads did not.
    EXPECT_EQ(fakeApp.Messages(), (std::vector<uint32_t>{AppServices::kShowPleaseWait,
                                                            AppServices::kSetPleaseWaitFocus,
                                                            AppServices::kHidePleaseWait}));
    Screenshot("library");
}

TEST_F(MusicLibraryWindowTest, TheLargeFontMakesFivePerPageOfTheGenres) {
    g_useLargeFont = 1;
    library.genres = Entries(150, 1, [](int i) { return "Genre " + std::to_string(1000 + i); });
    Show();
    EXPECT_EQ(Levels().RowNames(Level::kGenre).size(), 6u);
    EXPECT_EQ(Levels().RowNames(Level::kGenre).front(), "All (150 Genres)");
    EXPECT_EQ(Label(Level::kGenre), "Page 1 of 30");
    Screenshot("library-largefont");
}

TEST_F(MusicLibraryWindowTest, PagingKeysFollowThePageRule) {
    Show();
    Focus(Level::kArtist);
    library.ClearRequests();
    // Zoom In on page 1 shows the last page; Zoom Out past the last shows page 1.
    const struct {
        unsigned long key;
        const char* label;
        const char* request;
    } steps[] = {
        {CascadeKeys::kZoomIn, "Page 4 of 4", "artists 18 6"},
        {CascadeKeys::kZoomOut, "Page 1 of 4", "artists 0 6"},
        {CascadeKeys::kZoomOut, "Page 2 of 4", "artists 6 6"},
        {CascadeKeys::kZoomIn, "Page 1 of 4", "artists 0 6"},
    };
    for (const auto& step : steps) {
        library.ClearRequests();
        Press(step.key);
        EXPECT_EQ(Label(Level::kArtist), step.label);
        EXPECT_EQ(library.Requests(), std::vector<std::string>{step.request});
    }
    // The last page holds the last two artists.
    Press(CascadeKeys::kZoomIn);
    EXPECT_EQ(Levels().RowNames(Level::kArtist),
              (std::vector<CascadeString>{"All (20 Artists)", "Artist 118", "Artist 119"}));
}

TEST_F(MusicLibraryWindowTest, DownAndUpAtTheEndsOfAPageTurnIt) {
    Show();
    Focus(Level::kArtist);
    for (int i = 0; i < 6; ++i) Press(CascadeKeys::kDown);
    EXPECT_EQ(Levels().SelectedRow(Level::kArtist), 6);
    EXPECT_EQ(Label(Level::kArtist), "Page 1 of 4");
    Press(CascadeKeys::kDown);  // on the last row: the next page, row 1
    EXPECT_EQ(Label(Level::kArtist), "Page 2 of 4");
    EXPECT_EQ(Levels().SelectedRow(Level::kArtist), 1);
    EXPECT_EQ(Levels().SelectedCell(Level::kArtist, 0), "Artist 106");
    Press(CascadeKeys::kUp);
    Press(CascadeKeys::kUp);  // on row 0: the previous page, its last row
    EXPECT_EQ(Label(Level::kArtist), "Page 1 of 4");
    EXPECT_EQ(Levels().SelectedRow(Level::kArtist), 6);
    for (int i = 0; i < 7; ++i) Press(CascadeKeys::kUp);  // to row 0, then to the last page
    EXPECT_EQ(Label(Level::kArtist), "Page 4 of 4");
    EXPECT_EQ(Levels().SelectedCell(Level::kArtist, 0), "Artist 119");
}

TEST_F(MusicLibraryWindowTest, WrapAroundStaysOnThePage) {
    g_wrapAround = 1;
    Show();
    Focus(Level::kGenre);
    for (int i = 0; i < 3; ++i) Press(CascadeKeys::kDown);
    library.ClearRequests();
    Press(CascadeKeys::kDown);
    EXPECT_EQ(Levels().SelectedRow(Level::kGenre), 0);
    Press(CascadeKeys::kUp);
    EXPECT_EQ(Levels().SelectedRow(Level::kGenre), 3);
    EXPECT_TRUE(library.Requests().empty());
}

TEST_F(MusicLibraryWindowTest, ChoosingAGenreNarrowsTheLevelsBelowAfterThePause) {
    Show();
    library.ClearRequests();
    Press(CascadeKeys::kDown);  // Genre A
    EXPECT_EQ(Levels().GetCountdown(), LibraryLevels::kReloadTicks);
    for (int i = 0; i < LibraryLevels::kReloadTicks; ++i) Tick();
    EXPECT_TRUE(library.Requests().empty());  // still waiting for the user to pause
    Tick();
    EXPECT_EQ(library.Requests(), (std::vector<std::string>{"artists 0 6 genre_id:1", "albums 0 6 genre_id:1",
                                                             "titles 0 11 genre_id:1"}));
    EXPECT_EQ(Levels().RowNames(Level::kArtist).front(), "All (10 Artists)");
    EXPECT_EQ(Levels().RowNames(Level::kTrack).size(), 12u);
    EXPECT_EQ(Label(Level::kTrack), "Page 1 of 3");
    // A key meanwhile starts the wait again; Select drops it.
    Press(CascadeKeys::kDown);
    Tick();
    Press(CascadeKeys::kSelect);
    library.ClearRequests();
    for (int i = 0; i < 8; ++i) Tick();
    EXPECT_TRUE(library.Requests().empty());
}

// A forward jump starts from the page's last name, a backward one from its
// first, and a letter nobody starts with is passed over.
TEST_F(MusicLibraryWindowTest, LetterJumpsLandOnThePageOfTheLetter) {
    // Six a page: "Aardvark" b b b b "The Beatles" | c c c c c c | e e e e e e | f ...
    std::vector<std::string> names;
    for (char letter : {'b', 'c', 'e', 'f'})
        for (int i = 0; i < 6; ++i) names.push_back(std::string(1, char(letter - 32)) + "and " + std::to_string(i));
    names[0] = "Aardvark";
    names[5] = "The Beatles";
    library.artists = Entries(int(names.size()), 101, [&](int i) { return names[std::size_t(i)]; });
    Show();
    Focus(Level::kArtist);
    EXPECT_EQ(m_window->GetStartLetter("The Beatles"), 'b');
    library.ClearRequests();
    Press(CascadeKeys::kNext);  // from "The Beatles": the c's, on page 2
    EXPECT_EQ(Label(Level::kArtist), "Page 2 of 4");
    EXPECT_EQ(library.Requests(), (std::vector<std::string>{"artists 6 6", "artists 6 6"}));
    Press(CascadeKeys::kNext);  // no d: the e's
    EXPECT_EQ(Label(Level::kArtist), "Page 3 of 4");
    EXPECT_EQ(Levels().RowNames(Level::kArtist)[1], "Eand 0");
    Press(CascadeKeys::kPrevious);  // from the e's back to the first c
    EXPECT_EQ(Label(Level::kArtist), "Page 2 of 4");
    Press(CascadeKeys::kPrevious);
    EXPECT_EQ(Label(Level::kArtist), "Page 1 of 4");
    Press(CascadeKeys::kPrevious);  // page 1: nothing to go back to
    EXPECT_EQ(Label(Level::kArtist), "Page 1 of 4");
    // The last page has no forward jump.
    Press(CascadeKeys::kZoomIn);
    library.ClearRequests();
    Press(CascadeKeys::kNext);
    EXPECT_TRUE(library.Requests().empty());
}

TEST_F(MusicLibraryWindowTest, ABackwardJumpLandsOnThePageHoldingTheLettersFirstEntry) {
    // a x3, then b x9 (over pages 1 and 2), then c x6: the b's start at
    // index 3, on page 1; without rounding up the jump would show page 0,
    // the last page.
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) names.push_back("Aa " + std::to_string(i));
    for (int i = 0; i < 9; ++i) names.push_back("Bb " + std::to_string(i));
    for (int i = 0; i < 6; ++i) names.push_back("Cc " + std::to_string(i));
    library.artists = Entries(int(names.size()), 101, [&](int i) { return names[std::size_t(i)]; });
    Show();
    Focus(Level::kArtist);
    Press(CascadeKeys::kZoomIn);  // page 3, the c's
    ASSERT_EQ(Label(Level::kArtist), "Page 3 of 3");
    Press(CascadeKeys::kPrevious);
    EXPECT_EQ(Label(Level::kArtist), "Page 1 of 3");
    EXPECT_EQ(Levels().RowNames(Level::kArtist)[4], "Bb 0");
}

TEST_F(MusicLibraryWindowTest, PlaylistCommandsSendWhatTheFocusAndSelectionSay) {
    Show();
    // Genre A, its first artist, album and track.
    Press(CascadeKeys::kDown);
    for (int i = 0; i < 6; ++i) Tick();
    Focus(Level::kArtist);
    Press(CascadeKeys::kDown);
    for (int i = 0; i < 6; ++i) Tick();
    Focus(Level::kAlbum);
    Press(CascadeKeys::kDown);
    for (int i = 0; i < 6; ++i) Tick();
    Focus(Level::kTrack);
    Press(CascadeKeys::kDown);
    Focus(Level::kPlaylist);
    Press(CascadeKeys::kDown);  // Song 1, index 1
    ASSERT_EQ(Levels().SelectedCell(Level::kTrack, 0), "Song 0");
    using Lines = std::vector<std::string>;
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
        {Level::kTrack, "insert", {"playlistcontrol cmd:insert track_id:1001"}},
        {Level::kGenre, "insert", {"playlistcontrol cmd:insert genre_id:1 artist_id:101 album_id:201"}},
        {Level::kTrack, "add", {"playlistcontrol cmd:add track_id:1001"}},
        {Level::kPlaylist, "add", {"playlistcontrol cmd:add genre_id:1 artist_id:101 album_id:201"}},
        {Level::kGenre, "remove", {"playlist delete 1"}},  // the playlist entry, whatever has the focus
        {Level::kArtist, "clear", {"playlist clear"}},
    };
    for (const auto& c : cases) {
        Focus(c.focus);
        library.ClearRequests();
        m_window->OnManagePlaylistCommand(c.command);
        EXPECT_EQ(library.Requests(), c.requests) << c.command;
    }
    // Every one went over the application's command queue.
    EXPECT_EQ(fakeApp.Commands().size(), std::size(cases));
    // The track list's "All" row plays the whole selection; so does Play.
    Focus(Level::kTrack);
    Press(CascadeKeys::kUp);
    library.ClearRequests();
    Press(CascadeKeys::kPlay);
    EXPECT_EQ(library.Requests(), replaceSelection);
    // Unknown words and a removal without a playlist entry send nothing.
    library.playlist.clear();
    m_window->OnPlaylistChanged("clear");
    Settle();
    library.ClearRequests();
    m_window->OnManagePlaylistCommand("remove");
    m_window->OnManagePlaylistCommand("shuffle");
    EXPECT_TRUE(library.Requests().empty());
}

TEST_F(MusicLibraryWindowTest, SelectAndOptionsOpenTheDialogsOfTheFocusedList) {
    Show();
    ManagePlaylistDialog& manage = m_window->GetManageDialog();
    // Genre list: the whole selection, with its track count.
    Press(CascadeKeys::kSelect);
    ASSERT_TRUE(manage.IsVisible());
    EXPECT_EQ(manage.GetType(), ManagePlaylistDialog::kLibrarySelection);
    Screenshot("library-manage-selection");
    Press(CascadeKeys::kExit);  // closes it and tells no one
    EXPECT_FALSE(manage.IsVisible());
    EXPECT_TRUE(Levels().List(Level::kGenre).IsFocus());
    // Track list: the "All" row is the selection, a song row the song.
    Press(CascadeKeys::kDown);
    for (int i = 0; i < 6; ++i) Tick();
    Focus(Level::kTrack);
    Press(CascadeKeys::kSelect);
    EXPECT_EQ(manage.GetType(), ManagePlaylistDialog::kLibrarySelection);
    Press(CascadeKeys::kExit);
    Press(CascadeKeys::kDown);
    Press(CascadeKeys::kSelect);
    EXPECT_EQ(manage.GetType(), ManagePlaylistDialog::kSong);
    library.ClearRequests();
    Press(CascadeKeys::kSelect);  // its first button: add
    EXPECT_FALSE(manage.IsVisible());
    EXPECT_TRUE(Levels().List(Level::kTrack).IsFocus());
    EXPECT_EQ(library.Requests(), std::vector<std::string>{"playlistcontrol cmd:add track_id:1001"});
    // Playlist list: the entry.
    Focus(Level::kPlaylist);
    Press(CascadeKeys::kSelect);
    EXPECT_EQ(manage.GetType(), ManagePlaylistDialog::kPlaylistEntry);
    Screenshot("library-manage-entry");
    Press(CascadeKeys::kExit);

    // Options: the song's details on the track and playlist lists, the
    // album's on the album list, nothing on the others.
    Focus(Level::kTrack);
    Press(CascadeKeys::kOptions);
    EXPECT_TRUE(m_window->GetSongInfoDialog().IsVisible());
    Press(CascadeKeys::kExit);
    EXPECT_FALSE(m_window->GetSongInfoDialog().IsVisible());
    Focus(Level::kAlbum);
    Press(CascadeKeys::kDown);
    Press(CascadeKeys::kOptions);
    EXPECT_TRUE(m_window->GetAlbumInfoDialog().IsVisible());
    Press(CascadeKeys::kExit);
    Focus(Level::kGenre);
    Press(CascadeKeys::kOptions);
    Focus(Level::kArtist);
    Press(CascadeKeys::kOptions);
    EXPECT_FALSE(m_window->GetSongInfoDialog().IsVisible());
    EXPECT_FALSE(m_window->GetAlbumInfoDialog().IsVisible());
    EXPECT_TRUE(Levels().List(Level::kArtist).IsFocus());
}

TEST_F(MusicLibraryWindowTest, TheListenerReloadsThePlaylistExceptForAJump) {
    Show();
    library.ClearRequests();
    m_window->OnPlaylistChanged("jump");
    m_window->OnRepeatChanged(1);
    Settle();
    EXPECT_TRUE(library.Requests().empty());
    library.playlist.push_back({1003, 1, 101, 201, "Song 2", "Artist 100"});
    m_window->OnPlaylistChanged("add");
    Settle();
    m_window->OnShuffleChanged(1);
    Settle();
    EXPECT_EQ(library.Requests(), (std::vector<std::string>{"status 0 12", "status 0 12"}));
    EXPECT_EQ(Levels().RowNames(Level::kPlaylist).size(), 3u);
    // Hidden, it stays still.
    Press(CascadeKeys::kExit);
    EXPECT_FALSE(m_window->IsShown());
    library.ClearRequests();
    m_window->OnPlaylistChanged("add");
    Settle();
    EXPECT_TRUE(library.Requests().empty());
}

TEST_F(MusicLibraryWindowTest, PlaylistShowsTheArtistColumnOnlyWhenAnArtistIsKnown) {
    library.playlist = {{1, 0, 0, 0, "Stream", "N/A"}, {2, 0, 0, 0, "Other", ""}};
    Show();
    EXPECT_FALSE(Levels().List(Level::kPlaylist).GetColumnByID("Artist")->visible);
    library.playlist.push_back({3, 0, 0, 0, "Song", "Björk"});
    m_window->OnPlaylistChanged("add");
    Settle();
    EXPECT_TRUE(Levels().List(Level::kPlaylist).GetColumnByID("Artist")->visible);
}

TEST_F(MusicLibraryWindowTest, FocusMovesAroundTheFiveListsAndExitGivesItBack) {
    Show();
    const Level order[] = {Level::kArtist, Level::kAlbum, Level::kTrack, Level::kPlaylist, Level::kGenre};
    for (Level level : order) {
        Press(CascadeKeys::kRight);
        EXPECT_TRUE(Levels().List(level).IsFocus());
    }
    Press(CascadeKeys::kLeft);
    EXPECT_TRUE(Levels().List(Level::kPlaylist).IsFocus());
    EXPECT_TRUE(Key(CascadeKeys::kMenu));  // every key stays here
    Press(CascadeKeys::kExit);
    EXPECT_FALSE(m_window->IsShown());
}

TEST_F(MusicLibraryWindowTest, NamesFromTheServerShowAsTheyCame) {
    library.artists = {{101, "Björk"}, {102, "Sigur Rós"}, {103, "Mötley Crüe"}, {104, "坂本龍一"}};
    Show();
    EXPECT_EQ(Levels().RowNames(Level::kArtist),
              (std::vector<CascadeString>{"All (4 Artists)", "Björk", "Sigur Rós", "Mötley Crüe", "坂本龍一"}));
    Focus(Level::kArtist);
    Press(CascadeKeys::kDown);
    Screenshot("library-names");
    // The list draws text where the names are (white pixels in the row).
    const CascadeRect list = Levels().List(Level::kArtist).GetRectAbsolute();
    int bright = 0;
    for (int x = list.x; x < list.x + 120; ++x)
        for (int y = list.y + 42; y < list.y + 63; ++y)
            if ((Screen().GetPixel(x, y) & 0x00FFFFFF) == 0x00FFFFFF) ++bright;
    EXPECT_GT(bright, 10);
}

TEST_F(MusicLibraryWindowTest, ClosingWhileASlowLoadRunsNeitherWaitsNorCrashes) {
    Show();
    Focus(Level::kArtist);
    library.ClearRequests();
    library.delayMs = 100;
    // The first flip runs; the ones after it merge into one waiting load.
    for (int i = 0; i < 5; ++i) Key(CascadeKeys::kZoomOut);
    Key(CascadeKeys::kExit);  // drops the waiting load, does not wait for the running one
    EXPECT_FALSE(m_window->IsShown());
    m_window.reset();  // waits for the running load, if it had begun
    EXPECT_LE(library.RequestsStartingWith("artists").size(), 1u);
}

}  // namespace

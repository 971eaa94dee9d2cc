// The library browser's letter arithmetic, and the browser closed during a
// slow load.
#include "screens/MusicLibraryWindow.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"
#include "screens/LetterJump.h"

namespace {

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

TEST_F(ScreenFixture, LibraryClosedWhileASlowLoadRunsNeitherWaitsNorCrashes) {
    FakeSlimConnection::Entries artists;
    for (int i = 0; i < 60; ++i) {
        auto entry = std::make_shared<BrowseEntry>();
        entry->name = "Artist " + std::to_string(i);
        entry->id = std::to_string(i + 1);
        artists.push_back(entry);
    }
    server.SetEntries("artists", artists);
    auto window = std::make_unique<MusicLibraryWindow>();
    ShowFullScreen(*window);
    window->GetLevels().Tick();
    ASSERT_TRUE(window->WaitUntilIdle(5000));
    window->GetLevels().List(LibraryLevel::kArtist).SetFocus();
    server.ClearCalls();
    // The first flip waits inside the server; the ones after it merge into
    // one waiting load.
    ASSERT_TRUE(server.Catch(FakeSlimConnection::kLibraryGate, [&] { Key(CascadeKeys::kZoomOut); }));
    for (int i = 0; i < 4; ++i) Key(CascadeKeys::kZoomOut);
    Key(CascadeKeys::kExit);  // drops the waiting load, does not wait for the running one
    EXPECT_FALSE(window->IsShown());
    server.Release(FakeSlimConnection::kLibraryGate);
    ASSERT_TRUE(window->WaitUntilIdle(5000));
    EXPECT_EQ(server.Count("artists"), 1);

    // A letter jump still searching when the browser closes is dropped:
    // opened again, the browser loads every level from page 1 (the jump's
    // own reload, of the levels below the artists, must not take the place
    // of the opening's).
    window->Materialize(1);
    window->GetLevels().Tick();
    ASSERT_TRUE(window->WaitUntilIdle(5000));
    window->GetLevels().List(LibraryLevel::kArtist).SetFocus();
    server.SetArtistLetterIndex(30);
    ASSERT_TRUE(server.Catch(FakeSlimConnection::kLibraryGate, [&] { Key(CascadeKeys::kNext); }));
    Key(CascadeKeys::kExit);
    window->Materialize(1);
    window->GetLevels().Tick();
    server.Release(FakeSlimConnection::kLibraryGate);
    ASSERT_TRUE(window->WaitUntilIdle(5000));
    for (const LibraryLevel level : {LibraryLevel::kGenre, LibraryLevel::kArtist})
        EXPECT_EQ(window->GetLevels().GetPageState(level).page, 1u) << LibraryLevels::LevelName(level);
}

}  // namespace

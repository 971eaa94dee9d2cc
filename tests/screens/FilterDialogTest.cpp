#include "screens/FilterDialog.h"

#include "LibraryFakeServer.h"
#include "platform/CascadeKeys.h"

namespace {

using Level = LibraryLevel;

class FilterDialogTest : public LibraryScreenTest, public FilterDialog::Client {
protected:
    void SetUp() override {
        LibraryScreenTest::SetUp();
        library.genres = Entries(12, 1, [](int i) { return "Genre " + std::to_string(10 + i); });
        library.artists = Entries(30, 101, [](int i) { return "Artist " + std::to_string(100 + i); });
        for (auto& a : library.artists) a.genre = 1 + (a.id % 3);
        m_owner.SetRectAbsolute({0, 0, 1024, 576});
        m_ownerButton.SetRectRelative({10, 10, 50, 20});
        m_owner.AddChild(&m_ownerButton);
        m_ownerButton.Materialize();
        m_owner.Materialize(1);
        m_ownerButton.SetFocus();
        m_dialog.Attach(context);
    }
    void TearDown() override {
        if (m_dialog.IsVisible()) m_dialog.Vanish();
        LibraryScreenTest::TearDown();
    }
    void OnFilterResult(unsigned long genreId, const char* genreName, unsigned long artistId,
                        const char* artistName) override {
        ++m_results;
        m_genreId = genreId;
        m_artistId = artistId;
        m_genreName = genreName;
        m_artistName = artistName;
    }
    void Show() {
        m_dialog.ShowDialog(this);
        Tick();
    }
    LibraryLevels& Levels() { return m_dialog.GetLevels(); }
    void Settle() { ASSERT_TRUE(m_dialog.WaitUntilIdle(5000)); }
    void Tick() {
        Levels().Tick();
        Settle();
    }
    void Press(unsigned long key) {
        Key(key);
        Settle();
    }

    CascadeWindow m_owner;
    EButton m_ownerButton;
    FilterDialog m_dialog;
    int m_results = 0;
    unsigned long m_genreId = 99, m_artistId = 99;
    std::string m_genreName, m_artistName;
};

TEST_F(FilterDialogTest, ShowsGenresAndArtistsCentredAbovePlaneOne) {
    Show();
    EXPECT_EQ(library.Requests(), (std::vector<std::string>{"genres 0 5", "artists 0 5"}));
    EXPECT_EQ(Levels().RowNames(Level::kGenre).front(), "All (12 Genres)");
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).label, "Page 1 of 6");
    EXPECT_EQ(m_dialog.GetPlane(), 2);
    const CascadeRect rect = m_dialog.GetRectAbsolute();
    EXPECT_EQ(rect.x * 2 + rect.w, 1024);
    EXPECT_EQ(rect.y * 2 + rect.h, 576);
    EXPECT_TRUE(Levels().List(Level::kGenre).IsFocus());
    Screenshot("filter");
    // The skin's title is taller than the room above the panels: its accent
    // bar must not cross the genre panel's strip and page text.
    int accent = 0;
    for (int y = rect.y + 52; y < rect.y + 77; ++y)
        for (int x = rect.x + 150; x < rect.x + 274; ++x) {
            const uint32_t argb = Screen().GetPixel(x, y);
            const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
            accent += r < 120 && g > 150 && b > 130;
        }
    EXPECT_EQ(0, accent);
}

TEST_F(FilterDialogTest, ApplyReportsTheChosenGenreAndArtist) {
    Show();
    Press(CascadeKeys::kDown);  // Genre 10
    library.ClearRequests();
    for (int i = 0; i < LibraryLevels::kReloadTicks + 1; ++i) Tick();
    EXPECT_EQ(library.Requests(), std::vector<std::string>{"artists 0 5 genre_id:1"});
    EXPECT_EQ(Levels().RowNames(Level::kArtist).front(), "All (10 Artists)");
    Press(CascadeKeys::kRight);
    Press(CascadeKeys::kDown);
    Press(CascadeKeys::kDown);
    Press(CascadeKeys::kSelect);  // to the button first
    EXPECT_TRUE(m_dialog.GetApplyButton().IsFocus());
    EXPECT_EQ(m_results, 0);
    Press(CascadeKeys::kSelect);
    EXPECT_FALSE(m_dialog.IsVisible());
    EXPECT_EQ(m_results, 1);
    EXPECT_EQ(m_genreId, 1u);
    EXPECT_EQ(m_genreName, "Genre 10");
    EXPECT_EQ(m_artistId, 105u);  // the second artist of genre 1: 102, 105, ...
    EXPECT_EQ(m_artistName, "Artist 104");
    EXPECT_TRUE(m_ownerButton.IsFocus());
    // The next showing starts from the "All" rows.
    EXPECT_EQ(Levels().SelectedRow(Level::kGenre), 0);
    EXPECT_EQ(Levels().SelectedRow(Level::kArtist), 0);
}

TEST_F(FilterDialogTest, ExitReportsNothingAndGivesTheFocusBack) {
    Show();
    Press(CascadeKeys::kDown);
    Press(CascadeKeys::kExit);
    EXPECT_FALSE(m_dialog.IsVisible());
    EXPECT_EQ(m_results, 0);
    EXPECT_TRUE(m_ownerButton.IsFocus());
    // Shown again, Apply works again.
    Show();
    Press(CascadeKeys::kLeft);  // genre -> button
    EXPECT_TRUE(m_dialog.GetApplyButton().IsFocus());
    Press(CascadeKeys::kSelect);
    EXPECT_EQ(m_results, 1);
    EXPECT_EQ(m_genreId, 0u);
    EXPECT_EQ(m_genreName, "All (12 Genres)");
}

TEST_F(FilterDialogTest, ArtistPagesAndJumpsLeaveTheGenreAlone) {
    Show();
    Press(CascadeKeys::kRight);
    library.ClearRequests();
    Press(CascadeKeys::kZoomIn);
    EXPECT_EQ(Levels().GetPageState(Level::kArtist).label, "Page 6 of 6");
    Press(CascadeKeys::kDown);
    EXPECT_EQ(Levels().GetReloadRequest(), "");
    EXPECT_EQ(Levels().GetCountdown(), -1);
    EXPECT_EQ(library.Requests(), std::vector<std::string>{"artists 25 5"});
}

}  // namespace

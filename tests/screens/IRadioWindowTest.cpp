#include "screens/IRadioWindow.h"

#include "ScreenFixture.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "radio/RadioTestData.h"
#include "support/LocalHttpServer.h"
#include "support/ScopedTempDir.h"
#include "ui/Configuration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

using Keys = std::vector<unsigned long>;
namespace K = CascadeKeys;

// Records Play and Add as the application would send them to the server.
class RecordingClient : public IRadioWindow::Client {
public:
    void OnIRadioCommand(const CascadeString& command, const CascadeString& url) override {
        commands.emplace_back(command.Std(), url.Std());
    }
    std::vector<std::pair<std::string, std::string>> commands;
};

std::string Sample(const std::string& name) { return RadioSample(name); }

// The radio browser on an off-screen desktop with the built Default skin,
// its directories on a local web server holding the real samples.
class IRadioWindowTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        ASSERT_TRUE(g_config.GetInternetRadioBackground()->IsValid());
        ASSERT_TRUE(m_server.Start());
        m_server.Route("/sbin/newxml.phtml", [this](const LocalHttpServer::Request& request) {
            {
                std::lock_guard lock(m_queryLock);
                m_queries.push_back(request.query);
            }
            return LocalHttpServer::Body(
                Sample(request.query.empty() ? "shoutcast/genrelist-2009-05-shoutcast_api.xml"
                                             : "shoutcast/stationlist-2008-04-ShoutcastBrowser-first200.xml"),
                "text/xml");
        });
        Serve("/yp.xml", "xiph/yp-2007-esperanza-first300.xml");
        Serve("/picks/radio.opml", "lms-favorites/favorites-2024-Rouzax-nested.opml");
        m_window = MakeWindow();
    }

    void TearDown() override {
        m_window.reset();
        ScreenFixture::TearDown();
    }

    void Serve(const std::string& path, const std::string& sample) {
        m_server.Route(path, LocalHttpServer::Body(Sample(sample), "text/xml"));
    }

    std::unique_ptr<IRadioWindow> MakeWindow() {
        InternetRadio::Options options;
        options.favoritesPath = FavoritesPath().c_str();
        options.directories = RadioDirectories("http://127.0.0.1:" + std::to_string(m_server.Port()));
        options.limits = {3000, 10000, 8u << 20};
        auto window = std::make_unique<IRadioWindow>(std::move(options));
        window->Attach(context);
        window->SetMessageDelay(0);
        return window;
    }

    std::string FavoritesPath() const { return m_dir.Path() + "/Favorites.xml"; }

    void Show() {
        m_window->ShowDialog(&m_client);
        Settle();
    }
    // Lets the loader finish, runs what it posted to the UI thread, paints.
    void Settle() {
        ASSERT_TRUE(m_window->WaitUntilIdle(20000));
        RunUiTasks();
        Paint();
    }
    void Press(const Keys& keys) {
        for (unsigned long key : keys) {
            Key(key);
            Settle();
        }
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        EListView& list = m_window->GetList();
        for (std::size_t i = 0; i < list.ItemCount(); ++i) rows.emplace_back(list.GetItem(int(i))->GetCell(0));
        return rows;
    }
    std::string Selected() const {
        const EListView::ListItem* item = m_window->GetList().GetSelectedItem();
        return item ? item->GetCell(0) : "";
    }
    // Moves the selection to the top-menu row `name`.
    void SelectTopMenuRow(const std::string& name) {
        const auto rows = Rows();
        const auto at = std::find(rows.begin(), rows.end(), name);
        ASSERT_NE(at, rows.end()) << name;
        m_window->GetList().SetSelectedIndex(int(at - rows.begin()), EListView::RedrawMode::kRedraw);
    }
    std::size_t ShoutcastFetches() const {
        std::lock_guard lock(m_queryLock);
        return m_queries.size();
    }
    std::string LastShoutcastQuery() const {
        std::lock_guard lock(m_queryLock);
        return m_queries.empty() ? "" : m_queries.back();
    }
    std::string FavoritesFile() const {
        std::ifstream in(FavoritesPath(), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    void Screenshot(const std::string& name) {
        RepaintAll();
        ScreenFixture::Screenshot("radio-" + name);
    }
    // Pixels of the window's area `rect` that differ from the skin's
    // background painted under the panel.
    int InkIn(const CascadeRect& rect) {
        const CascadeRect at = m_window->GetRectAbsolute();
        const CascadeBitmap& screen = Screen();
        std::map<uint32_t, int> colours;
        for (int y = rect.y; y < rect.Bottom(); ++y)
            for (int x = rect.x; x < rect.Right(); ++x) ++colours[screen.GetPixel(at.x + x, at.y + y)];
        int most = 0;
        for (const auto& [colour, n] : colours) most = std::max(most, n);
        return rect.w * rect.h - most;
    }

    RecordingClient m_client;
    ScopedTempDir m_dir{"quendrel-iradio"};
    LocalHttpServer m_server;
    mutable std::mutex m_queryLock;
    std::vector<std::string> m_queries;
    std::unique_ptr<IRadioWindow> m_window;
};

const std::vector<std::string> kTopMenu = {"Shoutcast Directory", "radioio Directory", "Xiph Directory",
                                           "Steamcast Directory", "Slim Devices Picks", "Live Music Archive",
                                           "Podcasts",            "Favorites"};

TEST_F(IRadioWindowTest, EachShowingStartsAtTheTopMenuWithoutFetching) {
    Show();
    EXPECT_EQ(kTopMenu, Rows());
    EXPECT_EQ("Page 1 of 1", m_window->GetPageLabel().Std());
    EXPECT_EQ("", m_window->GetBreadcrumb().Std());
    EXPECT_EQ(IRadioWindow::kTopMenu, m_window->GetCurrentType());
    EXPECT_TRUE(m_window->GetList().IsFocus());
    EXPECT_TRUE(m_window->GetButton(IRadioWindow::kAddToFavorites).IsShown());
    EXPECT_FALSE(m_window->GetButton(IRadioWindow::kRemoveFromFavorites).IsShown());
    EXPECT_EQ(0u, m_window->GetRadio()->GetFetch().FetchCount());
    // What a person sees: the title, the rows and the page label are drawn.
    EXPECT_GT(InkIn({18, 9, 200, 30}), 50);
    const CascadeRect list = m_window->GetList().GetRectRelative();
    EXPECT_GT(InkIn({list.x + 30, list.y, 300, 20}), 50);
    // Nothing overlaps: the title, the list, and the buttons side by side.
    EXPECT_LE(9 + 56, list.y);  // the Default skin's title image is 56 pixels tall
    const CascadeRect add = m_window->GetButton(IRadioWindow::kAdd).GetRectRelative();
    const CascadeRect play = m_window->GetButton(IRadioWindow::kPlay).GetRectRelative();
    EXPECT_LE(m_window->GetButton(IRadioWindow::kAddToFavorites).GetRectRelative().Right(), add.x);
    EXPECT_LE(add.Right(), play.x);
    EXPECT_LE(play.Right(), m_window->GetDims().w);
    EXPECT_GT(InkIn({420, 18, 157, 25}), 20);
    Screenshot("topmenu");

    // Left with an empty history does nothing; Exit closes.
    Press({K::kLeft});
    EXPECT_EQ(kTopMenu, Rows());
    Press({K::kDown, K::kDown, K::kRight});  // Xiph genres
    EXPECT_EQ(IRadioWindow::kXiphGenres, m_window->GetCurrentType());
    Press({K::kExit});
    EXPECT_FALSE(m_window->IsShown());
    Show();
    EXPECT_EQ(kTopMenu, Rows());
    EXPECT_EQ("", m_window->GetBreadcrumb().Std());
}

TEST_F(IRadioWindowTest, ShoutcastGenreStationsAndBackToTheSamePageAndRowWithoutFetching) {
    Show();
    Press({K::kRight});  // Shoutcast Directory
    ASSERT_EQ(IRadioWindow::kShoutcastGenres, m_window->GetCurrentType());
    EXPECT_EQ("Most Popular", Rows().at(0));
    EXPECT_EQ("Shoutcast Directory", m_window->GetBreadcrumb().Std());
    const int perPage = int(Rows().size());
    const int pages = (435 + perPage - 1) / perPage;
    EXPECT_EQ("Page 1 of " + std::to_string(pages), m_window->GetPageLabel().Std());
    Screenshot("shoutcast-genres");

    // Page 2, third row: a genre.
    Press({K::kZoomOut, K::kDown, K::kDown});
    ASSERT_EQ(2u, m_window->GetCurrentPage());
    const std::string genre = Selected();
    const std::size_t fetches = ShoutcastFetches();
    Press({K::kRight});
    ASSERT_EQ(IRadioWindow::kShoutcast, m_window->GetCurrentType());
    EXPECT_EQ(fetches + 1, ShoutcastFetches());
    EXPECT_EQ("genre=" + genre, LastShoutcastQuery());
    EXPECT_EQ(".977 The Hitz Channel", Rows().at(0));
    EXPECT_EQ("Shoutcast Directory / " + genre, m_window->GetBreadcrumb().Std());
    EXPECT_EQ("Page 1 of " + std::to_string((200 + perPage - 1) / perPage), m_window->GetPageLabel().Std());
    Screenshot("shoutcast-stations");

    // Paging within the stations fetches nothing.
    Press({K::kZoomOut, K::kZoomIn, K::kZoomIn});
    EXPECT_EQ(unsigned((200 + perPage - 1) / perPage), m_window->GetCurrentPage());
    EXPECT_EQ(fetches + 1, ShoutcastFetches());

    // Back: the genre list on page 2, third row, nothing fetched.
    const unsigned long before = m_window->GetRadio()->GetFetch().FetchCount();
    Press({K::kLeft});
    EXPECT_EQ(IRadioWindow::kShoutcastGenres, m_window->GetCurrentType());
    EXPECT_EQ(2u, m_window->GetCurrentPage());
    EXPECT_EQ(2, m_window->GetList().GetSelectedIndex());
    EXPECT_EQ(genre, Selected());
    EXPECT_EQ(before, m_window->GetRadio()->GetFetch().FetchCount());
    EXPECT_EQ("Shoutcast Directory", m_window->GetBreadcrumb().Std());

    // The same genre opened again is fetched again.
    Press({K::kRight});
    EXPECT_EQ(fetches + 2, ShoutcastFetches());

    // Back twice: the top menu on the Shoutcast row.
    Press({K::kLeft, K::kLeft});
    EXPECT_EQ(kTopMenu, Rows());
    EXPECT_EQ(0, m_window->GetList().GetSelectedIndex());
}

TEST_F(IRadioWindowTest, MostPopularAsksForTheTop500) {
    Show();
    Press({K::kRight, K::kRight});
    EXPECT_EQ("genre=Top500", LastShoutcastQuery());
}

struct PagingCase {
    const char* label;
    Keys keys;
    uint32_t wrapAround;
    unsigned page;       // page shown after the keys
    int selected;        // row selected
};

class IRadioPagingTest : public IRadioWindowTest, public ::testing::WithParamInterface<PagingCase> {};

// The RadioIO list: 21 stations, nothing fetched.
TEST_P(IRadioPagingTest, PagesAndRowsMoveByThePagingRule) {
    const PagingCase& c = GetParam();
    g_wrapAround = c.wrapAround;
    Show();
    Press({K::kDown, K::kRight});
    ASSERT_EQ(IRadioWindow::kRadioIO, m_window->GetCurrentType());
    const int perPage = int(Rows().size());
    ASSERT_LT(perPage, 21);
    Press(c.keys);
    const unsigned pages = unsigned((21 + perPage - 1) / perPage);
    EXPECT_EQ(c.page == 0 ? pages : c.page, m_window->GetCurrentPage());
    EXPECT_EQ(c.selected < 0 ? int(Rows().size()) - 1 : c.selected, m_window->GetList().GetSelectedIndex());
    EXPECT_EQ(0u, m_window->GetRadio()->GetFetch().FetchCount());
}

// Page 0 in `page` is the last page; row -1 is the page's last row.
INSTANTIATE_TEST_SUITE_P(
    Keys, IRadioPagingTest,
    ::testing::Values(PagingCase{"ZoomInOnPage1ShowsTheLastPage", {K::kZoomIn}, 0, 0, 0},
                      PagingCase{"ZoomOutOnTheLastPageShowsPage1", {K::kZoomIn, K::kZoomOut}, 0, 1, 0},
                      PagingCase{"UpOnRow0GoesToThePreviousPagesLastRow", {K::kUp}, 0, 0, -1},
                      PagingCase{"UpOnRow0WithWrapAroundStaysOnThePage", {K::kUp}, 1, 1, -1},
                      PagingCase{"DownPastTheLastRowGoesToTheNextPage", {K::kUp, K::kDown}, 0, 1, 0},
                      PagingCase{"DownPastTheLastRowWithWrapAroundStays", {K::kUp, K::kDown}, 1, 1, 0}),
    LabelName());

TEST_F(IRadioWindowTest, XiphGenresAreNormalisedWithTheMessageUpAndStationsFilteredInMemory) {
    Show();
    SelectTopMenuRow("Xiph Directory");
    Press({K::kRight});
    ASSERT_EQ(IRadioWindow::kXiphGenres, m_window->GetCurrentType());
    const auto messages = fakeApp.Messages();
    ASSERT_GE(messages.size(), 5u);
    EXPECT_EQ(AppServices::kShowPleaseWait, messages.front());
    EXPECT_EQ(AppServices::kHidePleaseWait, messages.back());
    EXPECT_EQ((std::vector<std::string>{"Normalizing Genres...", ""}), fakeApp.PleaseWaitTexts());
    Screenshot("xiph-genres");

    // Every genre opens onto its stations; the directory is fetched once.
    Press({K::kDown, K::kRight});
    EXPECT_EQ(IRadioWindow::kXiph, m_window->GetCurrentType());
    EXPECT_NE(IRadioWindow::kNoStations, Rows().at(0));
    Press({K::kLeft, K::kDown, K::kRight, K::kLeft, K::kLeft});
    SelectTopMenuRow("Xiph Directory");
    Press({K::kRight});
    EXPECT_EQ(1u, m_server.RequestCount("/yp.xml"));
}

// A directory that fails shows the one row and is fetched again when
// opened again; Rotate and Play on that row do nothing.
TEST_F(IRadioWindowTest, AFailingDirectoryShowsNoStationsAndIsTriedAgain) {
    m_server.Route("/yp.xml", LocalHttpServer::Status(500));
    Show();
    SelectTopMenuRow("Xiph Directory");
    Press({K::kRight});
    EXPECT_EQ(std::vector<std::string>{IRadioWindow::kNoStations}, Rows());
    EXPECT_EQ(-1, m_window->GetList().GetSelectedIndex());
    EXPECT_EQ("Page 1 of 1", m_window->GetPageLabel().Std());
    Screenshot("no-stations");
    Press({K::kRotate, K::kZoomIn, K::kDown});
    EXPECT_EQ(std::vector<std::string>{IRadioWindow::kNoStations}, Rows());
    EXPECT_FALSE(std::filesystem::exists(FavoritesPath()));
    const std::size_t fetched = m_server.RequestCount("/yp.xml");
    EXPECT_GE(fetched, 2u);  // Zoom In on the empty genre list tried again
    Serve("/yp.xml", "xiph/yp-2007-esperanza-first300.xml");
    Press({K::kLeft});
    SelectTopMenuRow("Xiph Directory");
    Press({K::kRight});
    EXPECT_NE(IRadioWindow::kNoStations, Rows().at(0));
}

TEST_F(IRadioWindowTest, PlayAndAddSendTheStationUrlToTheClient) {
    Show();
    Press({K::kDown, K::kRight});  // RadioIO
    const std::string url = m_window->GetList().GetSelectedItem()->GetCell(1);
    ASSERT_NE(std::string::npos, url.find("/radioio70s/A1hi.m3u"));
    // Right on a station: the focus goes to the buttons, then along them.
    Press({K::kRight});
    EXPECT_TRUE(m_window->GetButton(IRadioWindow::kAddToFavorites).IsFocus());
    Press({K::kRight, K::kSelect, K::kRight, K::kPlay});
    EXPECT_TRUE(m_window->GetButton(IRadioWindow::kPlay).IsFocus());
    Screenshot("radioio-play-button");
    const std::vector<std::pair<std::string, std::string>> expected = {{"add", url}, {"play", url}};
    EXPECT_EQ(expected, m_client.commands);
    Press({K::kRight});
    EXPECT_TRUE(m_window->GetList().IsFocus());
    Press({K::kUp});
    EXPECT_TRUE(m_window->GetList().IsFocus());
    // Left walks back: list <- Favorites <- add <- play.
    m_window->GetButton(IRadioWindow::kPlay).SetFocus();
    Press({K::kLeft});
    EXPECT_TRUE(m_window->GetButton(IRadioWindow::kAdd).IsFocus());
    Press({K::kLeft});
    EXPECT_TRUE(m_window->GetButton(IRadioWindow::kAddToFavorites).IsFocus());
    Press({K::kLeft});
    EXPECT_TRUE(m_window->GetList().IsFocus());
}

TEST_F(IRadioWindowTest, FavoritesAreAddedRemovedSavedAtOnceAndReadBack) {
    Show();
    // A RadioIO station (a directory row) and a genre row (not added).
    Press({K::kDown, K::kRight, K::kRotate});
    std::string saved = FavoritesFile();
    EXPECT_NE(std::string::npos, saved.find("text=\"radioio70s\"")) << saved;
    Press({K::kLeft, K::kRotate});  // the top menu's row: not a station
    EXPECT_EQ(saved, FavoritesFile());

    // An outline of the picks: a folder copied with its stations.
    SelectTopMenuRow("Slim Devices Picks");
    Press({K::kRight});
    ASSERT_EQ(IRadioWindow::kSlimPicks, m_window->GetCurrentType());
    EXPECT_EQ("Radio - Lounge & Chill", Rows().at(0));
    Screenshot("picks");
    Press({K::kRotate});
    saved = FavoritesFile();
    EXPECT_NE(std::string::npos, saved.find("Pure Lounge Radio (flac)")) << saved;
    // Into the folder, then one of its stations.
    Press({K::kRight, K::kDown, K::kRotate});
    EXPECT_NE(std::string::npos, FavoritesFile().find("LoungeFM Digital (mp3)"));

    // The Favorites list: remove in place of add, three entries.
    Press({K::kLeft, K::kLeft});
    SelectTopMenuRow("Favorites");
    Press({K::kRight});
    ASSERT_TRUE(m_window->IsFavoritesMode());
    EXPECT_TRUE(m_window->GetButton(IRadioWindow::kRemoveFromFavorites).IsShown());
    EXPECT_FALSE(m_window->GetButton(IRadioWindow::kAddToFavorites).IsShown());
    EXPECT_EQ((std::vector<std::string>{"radioio70s", "Radio - Lounge & Chill", "LoungeFM Digital (mp3)"}), Rows());
    Screenshot("favorites");
    Press({K::kDown, K::kRotate});  // removes the folder
    EXPECT_EQ((std::vector<std::string>{"radioio70s", "LoungeFM Digital (mp3)"}), Rows());
    EXPECT_EQ(std::string::npos, FavoritesFile().find("Pure Lounge Radio (flac)"));
    // Back at the top menu the add button returns.
    Press({K::kLeft});
    EXPECT_TRUE(m_window->GetButton(IRadioWindow::kAddToFavorites).IsShown());
    EXPECT_FALSE(m_window->GetButton(IRadioWindow::kRemoveFromFavorites).IsShown());

    // The next start reads them back.
    m_window = MakeWindow();
    Show();
    SelectTopMenuRow("Favorites");
    Press({K::kRight});
    EXPECT_EQ((std::vector<std::string>{"radioio70s", "LoungeFM Digital (mp3)"}), Rows());
}

// A directory that never answers: Exit closes at once, the load ends by
// itself, and the next showing works.
TEST_F(IRadioWindowTest, ExitDuringALoadReturnsAtOnce) {
    m_server.Route("/yp.xml", LocalHttpServer::Stalling(Sample("xiph/yp-2007-esperanza-first300.xml"), 100));
    Show();
    SelectTopMenuRow("Xiph Directory");
    Key(K::kRight);
    ASSERT_TRUE(m_window->IsLoading());
    // Refused while loading.
    Key(K::kDown);
    Key(K::kZoomIn);
    Key(K::kExit);
    EXPECT_FALSE(m_window->IsShown());
    Serve("/yp.xml", "xiph/yp-2007-esperanza-first300.xml");
    Show();
    EXPECT_EQ(kTopMenu, Rows());
    SelectTopMenuRow("Xiph Directory");
    Press({K::kRight});
    EXPECT_EQ(IRadioWindow::kXiphGenres, m_window->GetCurrentType());
    EXPECT_NE(IRadioWindow::kNoStations, Rows().at(0));
}

TEST_F(IRadioWindowTest, DestroyedWhileItsLoaderRuns) {
    m_server.Route("/picks/radio.opml", LocalHttpServer::Stalling(Sample("opml/digitalpodcast-top-rated-2017.opml"), 50));
    Show();
    SelectTopMenuRow("Slim Devices Picks");
    Key(K::kRight);
    ASSERT_TRUE(m_window->IsLoading());
    m_window.reset();  // aborts the fetch, joins the loader
    RunUiTasks();  // a task it posted finds it gone
    SUCCEED();
}

TEST(IRadioWindowTags, TagsNameTheirTypesExactly) {
    const std::pair<const char*, IRadioWindow::RadioType> cases[] = {
        {"shoutcast", IRadioWindow::kShoutcast},          {"shoutcastgenres", IRadioWindow::kShoutcastGenres},
        {"shoutcastrecent", IRadioWindow::kShoutcastRecent}, {"radioio", IRadioWindow::kRadioIO},
        {"xiph", IRadioWindow::kXiph},                    {"xiphgenres", IRadioWindow::kXiphGenres},
        {"steamcast", IRadioWindow::kSteamcast},          {"steamcastgenres", IRadioWindow::kSteamcastGenres},
        {"slimpicks", IRadioWindow::kSlimPicks},          {"livemusicarchive", IRadioWindow::kLiveMusicArchive},
        {"podcasts", IRadioWindow::kPodcasts},            {"favorites", IRadioWindow::kFavorites},
        {"Xiph", IRadioWindow::kRadioIO},                 {"", IRadioWindow::kRadioIO},
    };
    for (const auto& [tag, type] : cases) EXPECT_EQ(type, IRadioWindow::TypeOfTag(tag, IRadioWindow::kRadioIO)) << tag;
}

}  // namespace

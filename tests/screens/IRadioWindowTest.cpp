// The radio browser on an off-screen desktop with the built Default skin,
// its directories on a local web server holding the real samples: the top
// menu's layout, Xiph's genres normalised behind
// the please-wait window, a failing directory, and the window destroyed
// while its loader runs.
#include "screens/IRadioWindow.h"

#include "ScreenFixture.h"
#include "platform/CascadeKeys.h"
#include "radio/RadioTestData.h"
#include "support/LocalHttpServer.h"
#include "support/ScopedTempDir.h"

namespace {

using Keys = std::vector<unsigned long>;
using Rows = std::vector<std::string>;
namespace K = CascadeKeys;

const Rows kTopMenu = {"Shoutcast Directory", "radioio Directory",  "Xiph Directory", "Steamcast Directory",
                       "Slim Devices Picks",  "Live Music Archive", "Podcasts",       "Favorites"};

class IRadioWindowTest : public ScreenFixture, public IRadioWindow::Client {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        ASSERT_TRUE(m_server.Start());
        ServeXiph();
        InternetRadio::Options options;
        options.favoritesPath = (m_dir.Path() + "/Favorites.xml").c_str();
        options.directories = RadioDirectories("http://127.0.0.1:" + std::to_string(m_server.Port()));
        options.limits = {3000, 10000, 8u << 20};
        m_window = std::make_unique<IRadioWindow>(std::move(options));
        m_window->Attach(context);
        m_window->SetMessageDelay(0);
        m_window->ShowDialog(this);
        Settle();
    }
    void TearDown() override {
        m_window.reset();
        ScreenFixture::TearDown();
    }
    void OnIRadioCommand(const CascadeString&, const CascadeString&) override {}
    void ServeXiph() {
        m_server.Route("/yp.xml",
                       LocalHttpServer::Body(RadioSample("xiph/yp-2007-esperanza-first300.xml"), "text/xml"));
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
    Rows ListRows() const { return RowTexts(m_window->GetList()); }
    void OpenXiph() {
        m_window->GetList().SetSelectedIndex(2, EListView::RedrawMode::kRedraw);
        Press({K::kRight});
    }
    // Text pixels in the window's area `rect`.
    int InkIn(const CascadeRect& rect) {
        const CascadeRect at = m_window->GetRectAbsolute();
        return BrightPixels(rect.Offset(at.x, at.y));
    }

    ScopedTempDir m_dir{"quendrel-iradio"};
    LocalHttpServer m_server;
    std::unique_ptr<IRadioWindow> m_window;
};

TEST_F(IRadioWindowTest, EachShowingStartsAtTheTopMenuWithoutFetchingAndNothingOverlaps) {
    EXPECT_EQ(kTopMenu, ListRows());
    EXPECT_EQ(0u, m_window->GetRadio()->GetFetch().FetchCount());
    // The title, the rows and the page label are drawn.
    EXPECT_GT(InkIn({18, 9, 200, 30}), 50);
    const CascadeRect list = m_window->GetList().GetRectRelative();
    EXPECT_GT(InkIn({list.x + 30, list.y, 300, 20}), 50);
    EXPECT_GT(InkIn({420, 18, 157, 25}), 20);
    // The title above the list (the Default skin's title image is 56 pixels
    // tall), the buttons side by side.
    EXPECT_LE(9 + 56, list.y);
    const CascadeRect add = m_window->GetButton(IRadioWindow::kAdd).GetRectRelative();
    const CascadeRect play = m_window->GetButton(IRadioWindow::kPlay).GetRectRelative();
    EXPECT_LE(m_window->GetButton(IRadioWindow::kAddToFavorites).GetRectRelative().Right(), add.x);
    EXPECT_LE(add.Right(), play.x);
    EXPECT_LE(play.Right(), m_window->GetDims().w);
    RepaintAll();
    Screenshot("radio-topmenu");
    Press({K::kLeft});  // an empty history: nothing
    EXPECT_EQ(kTopMenu, ListRows());
    OpenXiph();
    Press({K::kExit});
    EXPECT_FALSE(m_window->IsShown());
    m_window->ShowDialog(this);
    Settle();
    EXPECT_EQ(kTopMenu, ListRows());
    EXPECT_EQ("", m_window->GetBreadcrumb().Std());
}

TEST_F(IRadioWindowTest, XiphGenresAreNormalisedWithTheMessageUpAndTheDirectoryFetchedOnce) {
    OpenXiph();
    ASSERT_EQ(IRadioWindow::kXiphGenres, m_window->GetCurrentType());
    const auto messages = fakeApp.Read(fakeApp.messages);
    ASSERT_GE(messages.size(), 5u);
    EXPECT_EQ(AppServices::kShowPleaseWait, messages.front());
    EXPECT_EQ(AppServices::kHidePleaseWait, messages.back());
    EXPECT_EQ((Rows{"Normalizing Genres...", ""}), fakeApp.Read(fakeApp.texts));
    RepaintAll();
    Screenshot("radio-xiph-genres");
    // Every genre opens onto its stations, filtered in memory.
    Press({K::kDown, K::kRight});
    EXPECT_EQ(IRadioWindow::kXiph, m_window->GetCurrentType());
    EXPECT_NE(IRadioWindow::kNoStations, ListRows().at(0));
    Press({K::kLeft, K::kDown, K::kRight, K::kLeft, K::kLeft});
    OpenXiph();
    EXPECT_EQ(1u, m_server.RequestCount("/yp.xml"));
}

// A directory that fails shows the one row and is fetched again when
// opened again; Rotate and Play on that row do nothing.
TEST_F(IRadioWindowTest, AFailingDirectoryShowsNoStationsAndIsTriedAgain) {
    m_server.Route("/yp.xml", LocalHttpServer::Status(500));
    OpenXiph();
    EXPECT_EQ(Rows{IRadioWindow::kNoStations}, ListRows());
    EXPECT_EQ(-1, m_window->GetList().GetSelectedIndex());
    EXPECT_EQ("Page 1 of 1", m_window->GetPageLabel().Std());
    RepaintAll();
    Screenshot("radio-no-stations");
    Press({K::kRotate, K::kZoomIn, K::kDown});
    EXPECT_EQ(Rows{IRadioWindow::kNoStations}, ListRows());
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() + "/Favorites.xml"));
    EXPECT_GE(m_server.RequestCount("/yp.xml"), 2u);  // Zoom In on the empty genre list tried again
    ServeXiph();
    Press({K::kLeft});
    OpenXiph();
    EXPECT_NE(IRadioWindow::kNoStations, ListRows().at(0));
}

TEST_F(IRadioWindowTest, DestroyedWhileItsLoaderRuns) {
    m_server.Route("/picks/radio.opml",
                   LocalHttpServer::Stalling(RadioSample("opml/digitalpodcast-top-rated-2017.opml"), 50));
    m_window->GetList().SetSelectedIndex(4, EListView::RedrawMode::kRedraw);  // the picks
    Key(K::kRight);
    ASSERT_TRUE(m_window->IsLoading());
    m_window.reset();  // aborts the fetch, joins the loader
    RunUiTasks();      // a task it posted finds it gone
}

}  // namespace

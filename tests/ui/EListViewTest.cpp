#include "ui/EListView.h"

#include "ui/Configuration.h"
#include "ui/SkinFixture.h"

#include <gtest/gtest.h>

#include "support/Pixels.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <tuple>

namespace {

constexpr CascadeColor kCanvas(0x204060FFu);
constexpr CascadeColor kUpArrow(0x00FF00FFu);
constexpr CascadeColor kDownArrow(0xFF00FFFFu);
constexpr int kArrowPixels = 12 * 8;

// Lists over an application directory whose arrow images are solid 12 x 8
// squares of known colours, painted into an off-screen bitmap.
class EListViewTest : public SkinFixture {
protected:
    void SetUp() override {
        WritePng("images/arrow_up.png", 12, 8, kUpArrow);
        WritePng("images/arrow_down.png", 12, 8, kDownArrow);
        g_config.SetApplicationDirectory(m_dir);
    }
    void TearDown() override { g_config.SetApplicationDirectory(""); }

    // A list of `rows` rows of 20 pixels in 300 x 160, headers hidden: 8 rows show.
    static void Fill(EListView& list, int rows) {
        list.SetRectAbsolute({0, 0, 300, 160});
        list.SetRowHeight(20);
        list.ShowHeaders(false);
        list.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1, 0);
        for (int i = 0; i < rows; ++i) list.AddItem(("Row " + std::to_string(i)).c_str());
    }
    // Paints the part `clip` of the list (all of it when empty) on the canvas colour.
    static CascadeBitmap Paint(EListView& list, CascadeRect clip = {}) {
        CascadeBitmap b = FilledBitmap(list.GetDims(), kCanvas);
        CascadeBitmap view = b.View({0, 0}, clip.IsEmpty() ? CascadeRect({0, 0}, b.GetDims()) : clip);
        list.OnPaint(view);
        return b;
    }
    // Where the list starts and how many pixels of each arrow it paints.
    static std::tuple<int, int, int> StartAndArrows(EListView& list) {
        const CascadeBitmap b = Paint(list);
        return {list.GetStartIndex(), CountPixels(b, kUpArrow), CountPixels(b, kDownArrow)};
    }
};

// A selection below the last visible row becomes the bottom row, one above
// the start the top row; the arrows show when rows lie beyond either end.
// The selection and the start are clamped to the rows. No selection lies
// before every row, so the list goes back to its top the way a selection
// before the start brings the list to it, and no row is highlighted.
TEST_F(EListViewTest, TheListScrollsWithTheSelectionShowsItsArrowsAndClamps) {
    EListView list;
    Fill(list, 30);
    ASSERT_EQ(8, list.VisibleItemCount());
    EXPECT_EQ(std::make_tuple(0, 0, kArrowPixels), StartAndArrows(list));
    list.SetSelectedIndex(10, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(std::make_tuple(3, kArrowPixels, kArrowPixels), StartAndArrows(list));
    list.SetSelectedIndex(1, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(1, list.GetStartIndex());
    list.SetSelectedIndex(29, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(std::make_tuple(22, kArrowPixels, 0), StartAndArrows(list));
    const std::pair<int, int> selections[] = {{-5, 0}, {500, 29}, {20, 20}, {-1, -1}};
    for (const auto& [asked, selected] : selections) {
        list.SetSelectedIndex(asked, EListView::RedrawMode::kNoRedraw);
        EXPECT_EQ(selected, list.GetSelectedIndex()) << asked;
    }
    EXPECT_EQ(nullptr, list.GetSelectedItem());
    const CascadeBitmap b = Paint(list);
    EXPECT_EQ(std::make_tuple(0, 0), std::make_tuple(list.GetStartIndex(), CountPixels(b, kUpArrow)));
    EXPECT_EQ(0,
              CountPixels(b, CascadeColor(0x000080FFu)) + CountPixels(b, CascadeColor(0x808080FFu)));  // no highlight
    const std::pair<int, int> starts[] = {{12, 12}, {30, 0}, {-3, 0}};
    for (const auto& [asked, start] : starts) {
        list.SetStartIndex(asked);
        EXPECT_EQ(start, list.GetStartIndex()) << asked;
    }
    // The header takes a row and pushes the up arrow down: (300 - 12 - 3, 20 + 3).
    list.ShowHeaders(true);
    EXPECT_EQ(7, list.VisibleItemCount());
    list.SetSelectedIndex(9, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(3, list.GetStartIndex());
    const CascadeBitmap header = Paint(list);
    EXPECT_EQ(kUpArrow.ToARGB(), header.GetPixel(285, 23));
    EXPECT_NE(kUpArrow.ToARGB(), header.GetPixel(285, 22));
    EListView empty;
    Fill(empty, 0);
    empty.SetSelectedIndex(0, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(-1, empty.GetSelectedIndex());
}

// Auto columns share what fixed columns, the arrows (only when rows lie
// beyond the list) and the icons leave; hidden columns take nothing.
TEST_F(EListViewTest, AutoColumnsShareWhatFixedColumnsArrowsAndIconsLeave) {
    EListView list;
    Fill(list, 8);
    list.SetRectAbsolute({0, 0, 445, 160});
    EListView::Column* a = list.GetColumnByID("Title");
    EListView::Column* fixed = list.AddColumn("Time", "Time", EListView::ColumnVisibility::kVisible, 160, 0);
    EListView::Column* b = list.AddColumn("Artist", "Artist", EListView::ColumnVisibility::kVisible, -1, 0);
    list.AddColumn("Id", "Id", EListView::ColumnVisibility::kHidden, 50, 0);
    list.CalculateColumnWidths();
    EXPECT_EQ((445 - 160) / 2, a->computedWidth);
    list.AddItem("ninth");
    list.CalculateColumnWidths();
    EXPECT_EQ(std::make_tuple(127, 127, 160),
              std::make_tuple(a->computedWidth, b->computedWidth, fixed->computedWidth));
    list.ShowIcons(true);
    EXPECT_EQ((445 - 30 - 160 - 20) / 2, a->computedWidth);
}

// A hidden column keeps its cell but draws nothing; a font set by the caller
// is kept whatever the row height does later.
TEST_F(EListViewTest, HiddenColumnsAndExplicitFonts) {
    EListView withText, withoutText;
    for (EListView* list : {&withText, &withoutText}) {
        list->AddColumn("Id", "Id", EListView::ColumnVisibility::kHidden, -1, 0);
        Fill(*list, 3);
        for (int i = 0; i < 3; ++i) list->GetItem(i)->SetCell(0, list == &withText ? "WWWWWWWWWW" : "");
    }
    EXPECT_TRUE(PixelWords(Paint(withText)) == PixelWords(Paint(withoutText)));
    withText.GetColumnByID("Id")->visible = true;
    EXPECT_FALSE(PixelWords(Paint(withText)) == PixelWords(Paint(withoutText)));

    const CascadeFont small("system", CascadeFont::kNormal, 12);
    EListView explicitFirst, explicitLast, derived;
    for (EListView* list : {&explicitFirst, &explicitLast, &derived}) Fill(*list, 3);
    explicitFirst.SetItemFont(small);
    explicitFirst.SetRowHeight(40);
    explicitLast.SetRowHeight(40);
    explicitLast.SetItemFont(small);
    derived.SetRowHeight(40);
    EXPECT_TRUE(PixelWords(Paint(explicitFirst)) == PixelWords(Paint(explicitLast)));
    EXPECT_FALSE(PixelWords(Paint(explicitFirst)) == PixelWords(Paint(derived)));
}

// A partial repaint paints the rows that meet the clip and nothing outside
// it. The desktop clears each dirty rectangle before it paints, so a repaint
// of part of the header must draw the titles clipped to it.
TEST_F(EListViewTest, APartialRepaintDrawsRowsAndHeaderClipped) {
    EListView list;
    Fill(list, 5);
    const CascadeColor background(0x445566FFu);
    list.SetBackgroundColor(background);
    const CascadeBitmap rows = Paint(list, {0, 40, 300, 20});
    EXPECT_EQ(0, CountPixels(rows, background, {0, 0, 300, 40}));
    EXPECT_GT(CountPixels(rows, background, {0, 40, 300, 20}), 0);
    list.SetBackgroundColor(CascadeColor(0x00000000u));
    list.ShowHeaders(true);
    list.GetColumnByID("Title")->title = "Title Title Title Title";
    const CascadeBitmap header = Paint(list, {0, 10, 120, 40});
    EXPECT_LT(CountPixels(header, kCanvas, {0, 10, 120, 10}), 120 * 10);  // the lower half of the titles
    EXPECT_EQ(300 * 10, CountPixels(header, kCanvas, {0, 0, 300, 10}));   // nothing outside the clip
    EXPECT_EQ(180 * 10, CountPixels(header, kCanvas, {120, 10, 180, 10}));
}

// A list whose paint (in CalculateColumnWidths) or icon loader (after a
// decoded icon) stops once until the test lets it go on.
class HeldList : public EListView {
public:
    void CalculateColumnWidths() override {
        EListView::CalculateColumnWidths();
        Hold(holdPaint);
    }
    void OnIconDecoded(int index) override {
        EListView::OnIconDecoded(index);
        Hold(holdIcons);
    }
    void OnWaitingForPaint() override { waiting.set_value(); }
    void Hold(std::atomic<bool>& flag) {
        if (!flag.exchange(false)) return;
        held.set_value();
        release.get_future().wait();
    }
    std::atomic<bool> holdPaint{false}, holdIcons{false};
    std::promise<void> held, release, waiting;
};

TEST_F(EListViewTest, ClearWaitsForAPaintUnderWay) {
    HeldList list;
    Fill(list, 30);
    list.holdPaint = true;
    auto painting = std::async(std::launch::async, [&] { Paint(list); });
    list.held.get_future().wait();
    auto clearing = std::async(std::launch::async, [&] { list.Clear(EListView::ClearMode::kRowsOnly); });
    list.waiting.get_future().wait();
    EXPECT_EQ(std::future_status::timeout, clearing.wait_for(std::chrono::seconds(0)));  // the paint holds the rows
    list.release.set_value();
    painting.get();
    clearing.get();
    EXPECT_EQ(0u, list.ItemCount());
    EXPECT_EQ(0, list.GetStartIndex());
}

// Icon loads asked for while one runs are not dropped: the newest request
// covers the rows added since. The loader reads where the list starts while
// the UI thread scrolls it (under the list's lock; a thread sanitizer run
// reports the race otherwise), and every row still gets its icon.
TEST_F(EListViewTest, TheNewestIconLoadWinsAndScrollingWhileIconsLoadLeavesNoRowWithout) {
    const std::string jpeg = Path("icon.jpg");
    ASSERT_TRUE(FilledBitmap({8, 8}, CascadeColor(0xC01010FFu)).SaveAsJPEG(jpeg, 90));
    auto allLoaded = [](EListView& list) {
        for (int i = 0; i < int(list.ItemCount()); ++i)
            EXPECT_FALSE(list.GetItem(i)->pendingPixels.empty() && !list.GetItem(i)->loadedIcon) << "row " << i;
    };
    HeldList held;
    Fill(held, 3);
    held.ShowIcons(true);
    for (int i = 0; i < 3; ++i) held.GetItem(i)->iconPath = jpeg.c_str();
    held.holdIcons = true;
    held.StartIconLoading();
    held.held.get_future().wait();
    for (int i = 3; i < 5; ++i) held.AddItem("later")->iconPath = jpeg.c_str();
    held.StartIconLoading();
    held.release.set_value();
    held.WaitUntilFinished();
    allLoaded(held);

    EListView list;
    Fill(list, 60);
    list.ShowIcons(true);
    for (int i = 0; i < 60; ++i) list.GetItem(i)->iconPath = jpeg.c_str();
    std::atomic<bool> loaded{false};
    std::thread scroller([&] {
        for (int i = 0; !loaded; ++i) list.SetStartIndex((i * 7) % 50);
    });
    for (int round = 0; round < 50; ++round) {
        list.StartIconLoading();
        std::this_thread::yield();
    }
    list.WaitUntilFinished();
    loaded = true;
    scroller.join();
    allLoaded(list);
}

}  // namespace

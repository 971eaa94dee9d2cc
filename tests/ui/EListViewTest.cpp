#include "ui/EListView.h"

#include "platform/CascadeApp.h"
#include "ui/Configuration.h"
#include "ui/SkinFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

constexpr CascadeColor kCanvas(0x204060FFu);
constexpr CascadeColor kUpArrow(0x00FF00FFu);
constexpr CascadeColor kDownArrow(0xFF00FFFFu);

// Lists over an application directory whose arrow images are solid squares
// of known colours, painted into an off-screen bitmap.
class EListViewTest : public SkinFixture {
protected:
    void SetUp() override {
        SkinFixture::SetUp();
        WriteSolidPng("images/arrow_up.png", kUpArrow);
        WriteSolidPng("images/arrow_down.png", kDownArrow);
        g_config.SetApplicationDirectory(m_dir);
    }
    void TearDown() override { g_config.SetApplicationDirectory(""); }

    void WriteSolidPng(const std::string& relative, CascadeColor color) {
        WritePng(relative, 12, 8);
        CascadeBitmap b;
        ASSERT_TRUE(b.Create({12, 8}));
        b.Clear(color);
        ASSERT_TRUE(b.SaveAsPNG(Path(relative)));
    }
    // A list of `rows` rows of 20 pixels in 300 x `height`, headers hidden.
    static void Fill(EListView& list, int rows, int height = 160) {
        list.SetRectAbsolute({0, 0, 300, height});
        list.SetRowHeight(20);
        list.ShowHeaders(false);
        list.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1, 0);
        for (int i = 0; i < rows; ++i) list.AddItem(("Row " + std::to_string(i)).c_str());
    }
    static CascadeBitmap Paint(EListView& list) {
        CascadeBitmap b;
        EXPECT_TRUE(b.Create(list.GetDims()));
        b.Clear(kCanvas);
        list.OnPaint(b);
        return b;
    }
    static int Count(const CascadeBitmap& b, CascadeColor color, CascadeRect r = {}) {
        if (r.IsEmpty()) r = CascadeRect({0, 0}, b.GetDims());
        int n = 0;
        for (int y = r.y; y < r.Bottom(); ++y)
            for (int x = r.x; x < r.Right(); ++x) n += b.GetPixel(x, y) == color.ToARGB();
        return n;
    }
    static bool SamePixels(const CascadeBitmap& a, const CascadeBitmap& b) {
        if (!(a.GetDims() == b.GetDims())) return false;
        for (int y = 0; y < a.GetDims().h; ++y)
            for (int x = 0; x < a.GetDims().w; ++x)
                if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
        return true;
    }
};

// --- Scrolling and the arrows -------------------------------------------------

TEST_F(EListViewTest, SelectionBelowTheLastVisibleRowBecomesTheBottomRow) {
    EListView list;
    Fill(list, 30);
    ASSERT_EQ(list.VisibleItemCount(), 8);
    CascadeBitmap first = Paint(list);
    EXPECT_EQ(Count(first, kUpArrow), 0);
    EXPECT_EQ(Count(first, kDownArrow), 12 * 8);
    list.SetSelectedIndex(10, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(list.GetStartIndex(), 3);
    CascadeBitmap scrolled = Paint(list);
    EXPECT_EQ(Count(scrolled, kUpArrow), 12 * 8);
    EXPECT_EQ(Count(scrolled, kDownArrow), 12 * 8);
    // Going back above the start makes the selection the top row.
    list.SetSelectedIndex(1, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(list.GetStartIndex(), 1);
    // The last row shows no down arrow.
    list.SetSelectedIndex(29, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(list.GetStartIndex(), 22);
    EXPECT_EQ(Count(Paint(list), kDownArrow), 0);
}

TEST_F(EListViewTest, EmptyListPaintsOnlyItsHeaderStrip) {
    EListView list;
    list.SetRectAbsolute({0, 0, 300, 160});
    list.SetRowHeight(20);
    list.AddColumn("Title", "Songs", EListView::ColumnVisibility::kVisible, -1, 0);
    CascadeBitmap b = Paint(list);
    EXPECT_EQ(Count(b, kUpArrow) + Count(b, kDownArrow), 0);
    EXPECT_LT(Count(b, kCanvas, {0, 0, 300, 20}), 300 * 20);  // the title is there
    EXPECT_EQ(Count(b, kCanvas, {0, 20, 300, 140}), 300 * 140);
    EXPECT_EQ(list.GetHeaderRect(), CascadeRect(0, 0, 300, 20));
}

TEST_F(EListViewTest, HeaderPushesRowsAndTheUpArrowDown) {
    EListView list;
    Fill(list, 30);
    list.ShowHeaders(true);
    EXPECT_EQ(list.VisibleItemCount(), 7);
    list.SetSelectedIndex(9, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(list.GetStartIndex(), 3);
    CascadeBitmap b = Paint(list);
    // Up arrow at (300 - 12 - 3, header 20 + 3).
    EXPECT_EQ(b.GetPixel(285, 23), kUpArrow.ToARGB());
    EXPECT_EQ(b.GetPixel(285, 22), b.GetPixel(284, 22));
}

// --- Clamping ------------------------------------------------------------------

TEST_F(EListViewTest, SelectionIsClampedToTheRows) {
    EListView list;
    Fill(list, 30);
    list.SetSelectedIndex(-5, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(list.GetSelectedIndex(), 0);
    list.SetSelectedIndex(500, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(list.GetSelectedIndex(), 29);
    EXPECT_STREQ(list.GetSelectedItem()->GetCell(0), "Row 29");
    list.SetSelectedIndex(-1, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(list.GetSelectedItem(), nullptr);

    EListView empty;
    Fill(empty, 0);
    empty.SetSelectedIndex(0, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(empty.GetSelectedIndex(), -1);
    empty.SetSelectedIndex(7, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(empty.GetSelectedIndex(), -1);
    EXPECT_EQ(empty.GetItem(0), nullptr);
}

// No selection lies before every row, so the list goes back to its top the
// way a selection before the start index brings the list to it.
TEST_F(EListViewTest, ClearingTheSelectionScrollsBackToTheTop) {
    EListView list;
    Fill(list, 30);
    list.SetSelectedIndex(20, EListView::RedrawMode::kNoRedraw);
    ASSERT_EQ(list.GetStartIndex(), 13);
    list.SetSelectedIndex(-1, EListView::RedrawMode::kNoRedraw);
    EXPECT_EQ(list.GetSelectedIndex(), -1);
    EXPECT_EQ(list.GetStartIndex(), 0);
    CascadeBitmap b = Paint(list);
    EXPECT_EQ(Count(b, kUpArrow), 0);
    EXPECT_EQ(Count(b, CascadeColor(0x000080FFu)) + Count(b, CascadeColor(0x808080FFu)), 0);  // no highlight
}

TEST_F(EListViewTest, StartIndexPastTheRowsFallsBackToZero) {
    EListView list;
    Fill(list, 30);
    list.SetStartIndex(12);
    EXPECT_EQ(list.GetStartIndex(), 12);
    list.SetStartIndex(30);
    EXPECT_EQ(list.GetStartIndex(), 0);
    list.SetStartIndex(-3);
    EXPECT_EQ(list.GetStartIndex(), 0);
    EXPECT_EQ(list.GetItem(30), nullptr);
    EXPECT_EQ(list.GetItem(-1), nullptr);
}

// --- Columns -------------------------------------------------------------------

TEST_F(EListViewTest, AutoColumnsShareWhatFixedColumnsAndArrowsLeave) {
    EListView list;
    list.SetRectAbsolute({0, 0, 445, 160});
    list.SetRowHeight(20);
    list.ShowHeaders(false);
    EListView::Column* a = list.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1, 0);
    EListView::Column* fixed = list.AddColumn("Time", "Time", EListView::ColumnVisibility::kVisible, 160, 0);
    EListView::Column* b = list.AddColumn("Artist", "Artist", EListView::ColumnVisibility::kVisible, -1, 0);
    EListView::Column* hidden = list.AddColumn("Id", "Id", EListView::ColumnVisibility::kHidden, 50, 0);
    for (int i = 0; i < 8; ++i) list.AddItem("x");
    list.CalculateColumnWidths();
    EXPECT_EQ(a->computedWidth, (445 - 160) / 2);  // all rows fit: no room for arrows
    list.AddItem("ninth");
    list.CalculateColumnWidths();
    EXPECT_EQ(a->computedWidth, 127);
    EXPECT_EQ(b->computedWidth, 127);
    EXPECT_EQ(fixed->computedWidth, 160);
    (void)hidden;
    // Icons take their width (the row height) first.
    list.ShowIcons(true);
    EXPECT_EQ(a->computedWidth, (445 - 30 - 160 - 20) / 2);
    EXPECT_EQ(list.GetColumnByID("Artist"), b);
    EXPECT_EQ(list.GetColumnByID("artist"), nullptr);
    EXPECT_EQ(list.GetColumn(4), nullptr);
}

TEST_F(EListViewTest, HiddenColumnKeepsItsCellButDrawsNothing) {
    auto build = [&](EListView& list, const char* hiddenText) {
        list.AddColumn("Id", "Id", EListView::ColumnVisibility::kHidden, -1, 0);
        Fill(list, 3);
        for (int i = 0; i < 3; ++i) list.GetItem(i)->SetCell(0, hiddenText);
    };
    EListView withText, withoutText;
    build(withText, "WWWWWWWWWW");
    build(withoutText, "");
    EXPECT_STREQ(withText.GetItem(2)->GetCell(0), "WWWWWWWWWW");
    EXPECT_STREQ(withText.GetItem(2)->GetCell(1), "");
    EXPECT_TRUE(SamePixels(Paint(withText), Paint(withoutText)));
    // Showing it again draws it.
    withText.GetColumnByID("Id")->visible = true;
    withoutText.GetColumnByID("Id")->visible = true;
    EXPECT_FALSE(SamePixels(Paint(withText), Paint(withoutText)));
}

TEST_F(EListViewTest, RowsArePaddedToTheColumnsAndCellsOutOfRangeAreRefused) {
    EListView list;
    list.AddColumn("Title", nullptr, EListView::ColumnVisibility::kVisible, -1, 0);
    list.AddColumn("Artist", "Artist", EListView::ColumnVisibility::kVisible, -1, 0);
    EListView::ListItem* item = list.AddItem(nullptr);
    EXPECT_EQ(item->cells.size(), 2u);
    EXPECT_STREQ(item->GetCell(0), "");
    EXPECT_FALSE(item->SetCell(2, "x"));
    EXPECT_STREQ(item->GetCell(7), "");
    EXPECT_STREQ(list.GetColumn(0)->title.c_str(), "");
}

// --- Fonts ---------------------------------------------------------------------

TEST_F(EListViewTest, ExplicitItemFontSurvivesRowHeightChanges) {
    const CascadeFont small("system", CascadeFont::kNormal, 12);
    EListView explicitFirst, explicitLast, derived;
    for (EListView* list : {&explicitFirst, &explicitLast, &derived}) Fill(*list, 3, 160);
    explicitFirst.SetItemFont(small);
    explicitFirst.SetRowHeight(40);
    explicitLast.SetRowHeight(40);
    explicitLast.SetItemFont(small);
    derived.SetRowHeight(40);
    EXPECT_EQ(explicitFirst.GetRowHeight(), 40);
    EXPECT_TRUE(SamePixels(Paint(explicitFirst), Paint(explicitLast)));
    EXPECT_FALSE(SamePixels(Paint(explicitFirst), Paint(derived)));
}

// --- Selection colours ---------------------------------------------------------

TEST_F(EListViewTest, SelectedRowWithoutFocusIsGreyWithWhiteText) {
    EListView list;
    Fill(list, 5);
    list.SetSelectedIndex(2, EListView::RedrawMode::kNoRedraw);
    CascadeBitmap b = Paint(list);
    EXPECT_EQ(b.GetPixel(295, 50), CascadeColor(0x808080FFu).ToARGB());
    EXPECT_GT(Count(b, CascadeColor(0xFFFFFFFFu), {0, 40, 300, 20}), 5);
    EXPECT_GT(Count(b, CascadeColor(0x000000FFu), {0, 40, 300, 20}), 5);
    // Other rows keep the (transparent) row background and plain text.
    EXPECT_EQ(b.GetPixel(295, 30), kCanvas.ToARGB());
}

TEST_F(EListViewTest, SelectedRowOfTheFocusedListUsesTheFocusColours) {
    class TestApp : public CascadeApp {} app;
    EListView list;
    Fill(list, 5);
    list.SetSelectionColor(CascadeColor(0x102030FFu));
    list.SetSelectionTextColor(CascadeColor(0xFFFF00FFu));
    list.Materialize(1);
    list.SetFocus();
    ASSERT_TRUE(list.IsFocus());
    list.SetSelectedIndex(0, EListView::RedrawMode::kNoRedraw);
    CascadeBitmap b = Paint(list);
    EXPECT_EQ(b.GetPixel(295, 10), CascadeColor(0x102030FFu).ToARGB());
    EXPECT_GT(Count(b, CascadeColor(0xFFFF00FFu), {0, 0, 300, 20}), 5);
    list.Vanish();
}

// A partial repaint paints the rows that meet the clip and nothing outside
// it. The desktop clears each dirty rectangle before it paints, so a repaint
// of part of the header must draw the titles clipped to it.
TEST_F(EListViewTest, APartialRepaintDrawsRowsAndHeaderClipped) {
    EListView list;
    Fill(list, 5);
    const CascadeColor background(0x445566FFu);
    list.SetBackgroundColor(background);
    auto paintPart = [&](const CascadeRect& clip) {
        CascadeBitmap b;
        EXPECT_TRUE(b.Create(list.GetDims()));
        b.Clear(kCanvas);
        CascadeBitmap view = b.View({0, 0}, clip);
        list.OnPaint(view);
        return b;
    };
    CascadeBitmap rows = paintPart({0, 40, 300, 20});
    EXPECT_EQ(Count(rows, background, {0, 0, 300, 40}), 0);
    EXPECT_GT(Count(rows, background, {0, 40, 300, 20}), 0);

    list.SetBackgroundColor(CascadeColor(0x00000000u));
    list.ShowHeaders(true);
    list.GetColumnByID("Title")->title = "Title Title Title Title";
    CascadeBitmap header = paintPart({0, 10, 120, 40});
    EXPECT_LT(Count(header, kCanvas, {0, 10, 120, 10}), 120 * 10);  // the lower half of the titles
    EXPECT_EQ(Count(header, kCanvas, {0, 0, 300, 10}), 300 * 10);     // nothing outside the clip
    EXPECT_EQ(Count(header, kCanvas, {120, 10, 180, 10}), 180 * 10);
}

// --- Clear and a paint under way ------------------------------------------------

// A list whose paint stops in the middle until the test lets it go on.
class HeldPaintList : public EListView {
public:
    void CalculateColumnWidths() override {
        EListView::CalculateColumnWidths();
        std::unique_lock lock(mutex);
        if (!holdPaint) return;
        painting = true;
        changed.notify_all();
        changed.wait(lock, [this] { return !holdPaint; });
    }
    void OnWaitingForPaint() override {
        EListView::OnWaitingForPaint();
        std::lock_guard lock(mutex);
        waited = true;
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool holdPaint = false, painting = false, waited = false;
};

TEST_F(EListViewTest, ClearWaitsForAPaintUnderWay) {
    HeldPaintList list;
    Fill(list, 30);
    {
        std::lock_guard lock(list.mutex);
        list.holdPaint = true;
    }
    CascadeBitmap target;
    ASSERT_TRUE(target.Create(list.GetDims()));
    std::thread painter([&] { list.OnPaint(target); });
    {
        std::unique_lock lock(list.mutex);
        list.changed.wait(lock, [&] { return list.painting; });
    }
    testing::internal::CaptureStdout();
    std::atomic<bool> cleared{false};
    std::thread clearer([&] {
        list.Clear(EListView::ClearMode::kRowsOnly);
        cleared = true;
    });
    {
        std::unique_lock lock(list.mutex);
        list.changed.wait(lock, [&] { return list.waited; });
        EXPECT_FALSE(cleared.load());  // the paint still holds the rows
        list.holdPaint = false;
        list.changed.notify_all();
    }
    painter.join();
    clearer.join();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("waiting for paint to complete"), std::string::npos);
    EXPECT_EQ(list.ItemCount(), 0u);
    EXPECT_EQ(list.GetStartIndex(), 0);
    EXPECT_EQ(list.GetColumnByID("Title") != nullptr, true);
}

// --- The icon loader -------------------------------------------------------------

// A list whose icon loader stops after its first decoded icon until the test
// lets it go on.
class HeldIconList : public EListView {
public:
    void OnIconDecoded(int index) override {
        EListView::OnIconDecoded(index);
        std::unique_lock lock(mutex);
        if (!hold) return;
        holding = true;
        changed.notify_all();
        changed.wait(lock, [this] { return !hold; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool hold = true, holding = false;
};

TEST_F(EListViewTest, IconLoadAskedForDuringARunCoversTheRowsAddedSince) {
    CascadeBitmap icon;
    ASSERT_TRUE(icon.Create({40, 40}));
    icon.Clear(CascadeColor(0xC01010FFu));
    const std::string jpeg = Path("icon.jpg");
    ASSERT_TRUE(icon.SaveAsJPEG(jpeg, 90));
    HeldIconList list;
    Fill(list, 3);
    list.ShowIcons(true);
    for (int i = 0; i < 3; ++i) list.GetItem(i)->iconPath = jpeg.c_str();
    list.StartIconLoading();
    {
        std::unique_lock lock(list.mutex);
        list.changed.wait(lock, [&] { return list.holding; });
    }
    for (int i = 3; i < 5; ++i) list.AddItem("later")->iconPath = jpeg.c_str();
    list.StartIconLoading();  // the newest request
    {
        std::lock_guard lock(list.mutex);
        list.hold = false;
        list.changed.notify_all();
    }
    list.WaitUntilFinished();
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(list.GetItem(i)->pendingPixels.empty() && !list.GetItem(i)->loadedIcon) << "row " << i;
}

// The loader reads where the list starts while the UI thread scrolls it
// (a race a thread sanitizer run reports); every row still gets its icon.
TEST_F(EListViewTest, ScrollingWhileIconsLoadLeavesNoRowWithoutItsIcon) {
    CascadeBitmap icon;
    ASSERT_TRUE(icon.Create({8, 8}));
    icon.Clear(CascadeColor(0x10C010FFu));
    const std::string jpeg = Path("small.jpg");
    ASSERT_TRUE(icon.SaveAsJPEG(jpeg, 90));
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
    for (int i = 0; i < 60; ++i)
        EXPECT_FALSE(list.GetItem(i)->pendingPixels.empty() && !list.GetItem(i)->loadedIcon) << "row " << i;
}

}  // namespace

#include "platform/CascadeApp.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeWindow.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A window that fills itself with one colour and remembers its paints.
class SolidWindow : public CascadeWindow {
public:
    explicit SolidWindow(uint32_t rgba) : m_color(rgba) {}
    void OnPaint(CascadeBitmap& target) override {
        ++paints;
        lastClip = target.GetClip();
        target.FillRect(CascadeRect({0, 0}, GetDims()), m_color);
    }
    void OnClearFocus() override { ++focusLost; }
    int paints = 0, focusLost = 0;
    CascadeRect lastClip;

private:
    CascadeColor m_color;
};

class WindowTreeTest : public ::testing::Test {
protected:
    uint32_t ScreenPixel(int x, int y) { return app.GetDesktop().Screen().GetPixel(x, y); }
    std::vector<CascadeRect> Paint() { return app.GetDesktop().PaintDirty(); }
    bool Key(unsigned long key) { return app.GetDesktop().DispatchKeyDown(key); }
    static uint32_t Argb(uint32_t rgba) { return CascadeColor(rgba).ToARGB(); }
    static void Show(CascadeWindow& window, const CascadeRect& rect, int plane) {
        window.SetRectAbsolute(rect);
        window.Materialize(plane);
    }
    CascadeApp app;
};

// Plane 2 draws above plane 1 whatever the order; within a plane the last
// materialised (or raised again) is on top; a vanished window uncovers.
TEST_F(WindowTreeTest, PlanesStackTheLastMaterialisedIsOnTopAndVanishUncovers) {
    SolidWindow dialog(0x00FF00FF), screen(0xFF0000FF), a(0x111111FF), b(0x0000FFFF);
    Show(dialog, {100, 100, 50, 50}, 2);
    Show(screen, {0, 0, 1024, 576}, 1);  // materialised later, but in the lower plane
    Show(b, {350, 50, 100, 100}, 1);
    Show(a, {300, 0, 100, 100}, 1);
    Paint();
    EXPECT_EQ(ScreenPixel(120, 120), Argb(0x00FF00FF));
    EXPECT_EQ(ScreenPixel(10, 10), Argb(0xFF0000FF));
    EXPECT_EQ(ScreenPixel(375, 75), Argb(0x111111FF));
    b.Materialize(1);
    dialog.Vanish();
    Paint();
    EXPECT_EQ(ScreenPixel(375, 75), Argb(0x0000FFFF));
    EXPECT_EQ(ScreenPixel(120, 120), Argb(0xFF0000FF));
    EXPECT_FALSE(dialog.IsShown());
}

// Only what was redrawn is painted, from any thread, clipped to the part;
// a clean tree or a hidden window's redraw leaves no work. Scattered redraws
// collapse into a few rectangles that still hold them; what lies outside the
// screen is cut off.
TEST_F(WindowTreeTest, RedrawPaintsOnlyTheDirtyPartOfTheWindowsMeetingIt) {
    SolidWindow left(0xFF0000FF), right(0x0000FFFF), hidden(0x00FF00FF);
    Show(left, {0, 0, 100, 100}, 1);
    Show(right, {200, 0, 100, 100}, 1);
    hidden.SetRectAbsolute({0, 0, 10, 10});
    Paint();
    const int leftBefore = left.paints, rightBefore = right.paints;
    hidden.Redraw();
    EXPECT_FALSE(app.GetDesktop().HasWork());
    EXPECT_TRUE(Paint().empty());
    EXPECT_EQ(left.paints, leftBefore);
    std::thread([&] { left.Redraw({10, 20, 5, 6}); }).join();
    EXPECT_TRUE(app.GetDesktop().HasWork());
    EXPECT_EQ(Paint(), std::vector<CascadeRect>{CascadeRect(10, 20, 5, 6)});
    EXPECT_EQ(left.lastClip, CascadeRect(10, 20, 5, 6));  // in window coordinates
    EXPECT_EQ(right.paints, rightBefore);

    for (int i = 0; i < 40; ++i) app.GetDesktop().Invalidate({i * 25, (i % 5) * 100, 3, 3});
    CascadeRect all;
    const std::vector<CascadeRect> rects = Paint();
    for (const auto& r : rects) all = all.MakeUnionRect(r);
    EXPECT_LE(rects.size(), 8u);
    EXPECT_TRUE(all.Contains(CascadeRect(0, 0, 3, 3)) && all.Contains(CascadeRect(39 * 25, 400, 3, 3)));
    app.GetDesktop().Invalidate({-10, -10, 20, 20});
    app.GetDesktop().Invalidate({2000, 0, 10, 10});
    EXPECT_EQ(Paint(), std::vector<CascadeRect>{CascadeRect(0, 0, 10, 10)});
}

TEST_F(WindowTreeTest, ChildrenPaintInWindowCoordinatesClippedToTheParent) {
    SolidWindow parent(0x202020FF), child(0xFFFFFFFF);
    parent.SetRectAbsolute({100, 100, 50, 50});
    parent.AddChild(&child);
    child.SetRectRelative({40, 40, 30, 30});  // sticks out of the parent
    child.Materialize();
    parent.Materialize(1);
    app.GetDesktop().Invalidate({0, 0, 1024, 576});  // only the parent may clip the child
    Paint();
    EXPECT_EQ(child.GetRectAbsolute(), CascadeRect(140, 140, 30, 30));
    EXPECT_EQ(ScreenPixel(145, 145), Argb(0xFFFFFFFF));
    EXPECT_EQ(ScreenPixel(155, 155), Argb(0x000000FF));  // outside the parent: background
    EXPECT_EQ(child.lastClip, CascadeRect(0, 0, 10, 10));
}

// Arrows move the focus to the sibling that way, and report when there is
// none; a vanished or destroyed window never keeps the focus. (Windows that
// refuse the focus and keys bubbling to the parent are walked by the
// screens' dialog tests.)
TEST_F(WindowTreeTest, FocusMovesWithArrowsAndLeavesVanishedWindows) {
    SolidWindow panel(0x101010FF), a(0x1), b(0x2), c(0x3);
    panel.SetRectAbsolute({0, 0, 1024, 576});
    for (auto* w : {&a, &b, &c}) panel.AddChild(w);
    a.SetRectRelative({10, 10, 100, 40});
    b.SetRectRelative({200, 10, 100, 40});
    c.SetRectRelative({10, 100, 100, 40});
    for (auto* w : {&a, &b, &c}) w->Materialize();
    panel.Materialize(1);
    a.SetFocus();
    for (const auto& [key, to] :
         {std::pair{CascadeKeys::kRight, &b}, {CascadeKeys::kLeft, &a}, {CascadeKeys::kDown, &c}}) {
        EXPECT_TRUE(Key(key));
        EXPECT_TRUE(to->IsFocus());
    }
    EXPECT_EQ(a.focusLost, 2);
    EXPECT_FALSE(Key(CascadeKeys::kDown));  // nothing further down
    EXPECT_TRUE(c.IsFocus());
    c.Vanish();
    EXPECT_EQ(CascadeWindow::GetFocus(), nullptr);
    {
        SolidWindow temporary(0x2);
        Show(temporary, {0, 0, 10, 10}, 1);
        temporary.SetFocus();
    }
    EXPECT_EQ(CascadeWindow::GetFocus(), nullptr);
}

}  // namespace

#include "platform/CascadeApp.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeWindow.h"

#include <gtest/gtest.h>

namespace {

class TestApp : public CascadeApp {};

// A window that fills itself with one colour and remembers its paints.
class SolidWindow : public CascadeWindow {
public:
    explicit SolidWindow(uint32_t rgba, bool focusable = true) : m_color(rgba), m_focusable(focusable) {}
    void OnPaint(CascadeBitmap& target) override {
        ++paints;
        lastClip = target.GetClip();
        target.FillRect(CascadeRect({0, 0}, GetDims()), m_color);
    }
    bool WillAcceptFocus() override { return m_focusable; }
    void OnSetFocus() override { ++focusGained; }
    void OnClearFocus() override { ++focusLost; }
    bool OnKeyDown(unsigned long key) override {
        keys.push_back(key);
        return consumeKeys;
    }
    int paints = 0, focusGained = 0, focusLost = 0;
    CascadeRect lastClip;
    std::vector<unsigned long> keys;
    bool consumeKeys = true;

private:
    CascadeColor m_color;
    bool m_focusable;
};

uint32_t Argb(uint32_t rgba) { return CascadeColor(rgba).ToARGB(); }

class WindowTreeTest : public ::testing::Test {
protected:
    uint32_t ScreenPixel(int x, int y) { return app.GetDesktop().Screen().GetPixel(x, y); }
    std::vector<CascadeRect> Paint() { return app.GetDesktop().PaintDirty(); }
    TestApp app;
};

// Plane 2 draws above plane 1 whatever the order; within a plane the last
// materialised (or raised again) is on top.
TEST_F(WindowTreeTest, PlanesStackAndWithinAPlaneTheLastMaterialisedIsOnTop) {
    SolidWindow dialog(0x00FF00FF), screen(0xFF0000FF), a(0x111111FF), b(0x0000FFFF);
    dialog.SetRectAbsolute({100, 100, 50, 50});
    screen.SetRectAbsolute({0, 0, 1024, 576});
    a.SetRectAbsolute({300, 0, 100, 100});
    b.SetRectAbsolute({350, 50, 100, 100});
    dialog.Materialize(2);
    screen.Materialize(1);  // materialised later, but in the lower plane
    b.Materialize(1);
    a.Materialize(1);
    Paint();
    EXPECT_EQ(ScreenPixel(120, 120), Argb(0x00FF00FF));
    EXPECT_EQ(ScreenPixel(10, 10), Argb(0xFF0000FF));
    EXPECT_EQ(ScreenPixel(375, 75), Argb(0x111111FF));
    b.Materialize(1);
    Paint();
    EXPECT_EQ(ScreenPixel(375, 75), Argb(0x0000FFFF));
}

// Neither a painted tree nor a hidden window's redraw leaves work.
TEST_F(WindowTreeTest, NothingIsPaintedWhenNothingIsDirty) {
    SolidWindow a(0xFF0000FF), hidden(0x00FF00FF);
    a.SetRectAbsolute({0, 0, 100, 100});
    hidden.SetRectAbsolute({0, 0, 10, 10});
    a.Materialize(1);
    Paint();
    const int before = a.paints;
    hidden.Redraw();
    EXPECT_FALSE(app.GetDesktop().HasWork());
    EXPECT_TRUE(Paint().empty());
    EXPECT_EQ(a.paints, before);
}

TEST_F(WindowTreeTest, RedrawOfAPartRepaintsOnlyWindowsMeetingIt) {
    SolidWindow left(0xFF0000FF), right(0x0000FFFF);
    left.SetRectAbsolute({0, 0, 100, 100});
    right.SetRectAbsolute({200, 0, 100, 100});
    left.Materialize(1);
    right.Materialize(1);
    Paint();
    const int rightBefore = right.paints;
    left.Redraw({10, 20, 5, 6});
    const auto presented = Paint();
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0], CascadeRect(10, 20, 5, 6));
    EXPECT_EQ(left.lastClip, CascadeRect(10, 20, 5, 6));  // in window coordinates
    EXPECT_EQ(right.paints, rightBefore);
}

TEST_F(WindowTreeTest, ChildrenPaintInWindowCoordinatesClippedToTheParent) {
    SolidWindow parent(0x202020FF), child(0xFFFFFFFF);
    parent.SetRectAbsolute({100, 100, 50, 50});
    parent.AddChild(&child);
    child.SetRectRelative({40, 40, 30, 30});  // sticks out of the parent
    child.Materialize();
    parent.Materialize(1);
    Paint();
    EXPECT_EQ(child.GetRectAbsolute(), CascadeRect(140, 140, 30, 30));
    EXPECT_EQ(ScreenPixel(145, 145), Argb(0xFFFFFFFF));
    EXPECT_EQ(ScreenPixel(155, 155), Argb(0x000000FF));  // outside the parent: background
    EXPECT_EQ(child.lastClip, CascadeRect(0, 0, 10, 10));
}

TEST_F(WindowTreeTest, VanishRepaintsWhatWasBelow) {
    SolidWindow back(0xFF0000FF), front(0x00FF00FF);
    back.SetRectAbsolute({0, 0, 200, 200});
    front.SetRectAbsolute({50, 50, 20, 20});
    back.Materialize(1);
    front.Materialize(2);
    Paint();
    front.Vanish();
    Paint();
    EXPECT_EQ(ScreenPixel(55, 55), Argb(0xFF0000FF));
    EXPECT_FALSE(front.IsShown());
}

TEST_F(WindowTreeTest, ArrowKeysMoveFocusToTheNearestFocusableSiblingInThatDirection) {
    SolidWindow panel(0x101010FF), a(0x1), b(0x2), c(0x3), off(0x4, false);
    panel.SetRectAbsolute({0, 0, 1024, 576});
    for (auto* w : {&a, &b, &c, &off}) panel.AddChild(w);
    a.SetRectRelative({10, 10, 100, 40});
    b.SetRectRelative({200, 10, 100, 40});
    c.SetRectRelative({10, 100, 100, 40});
    off.SetRectRelative({110, 10, 50, 40});  // nearer, but refuses the focus
    for (auto* w : {&a, &b, &c, &off}) w->Materialize();
    panel.Materialize(1);
    a.SetFocus();
    EXPECT_TRUE(app.GetDesktop().DispatchKeyDown(CascadeKeys::kRight));
    EXPECT_TRUE(b.IsFocus());
    EXPECT_EQ(a.focusLost, 1);
    EXPECT_TRUE(app.GetDesktop().DispatchKeyDown(CascadeKeys::kLeft));
    EXPECT_TRUE(a.IsFocus());
    EXPECT_TRUE(app.GetDesktop().DispatchKeyDown(CascadeKeys::kDown));
    EXPECT_TRUE(c.IsFocus());
    EXPECT_FALSE(app.GetDesktop().DispatchKeyDown(CascadeKeys::kDown));  // nothing further down
    EXPECT_TRUE(c.IsFocus());
}

class StickyWindow : public SolidWindow {
public:
    StickyWindow() : SolidWindow(0x1) {}
    bool OnNavKey(unsigned long, CascadeWindow*& next) override {
        next = nullptr;
        return true;
    }
};

TEST_F(WindowTreeTest, AWindowCanKeepTheFocusByConsumingArrows) {
    SolidWindow panel(0x1), other(0x2);
    StickyWindow sticky;
    panel.SetRectAbsolute({0, 0, 400, 400});
    panel.AddChild(&sticky);
    panel.AddChild(&other);
    sticky.SetRectRelative({0, 0, 10, 10});
    other.SetRectRelative({100, 0, 10, 10});
    sticky.Materialize();
    other.Materialize();
    panel.Materialize(1);
    sticky.SetFocus();
    EXPECT_TRUE(app.GetDesktop().DispatchKeyDown(CascadeKeys::kRight));
    EXPECT_TRUE(sticky.IsFocus());
}

TEST_F(WindowTreeTest, UnconsumedKeysBubbleToTheParent) {
    SolidWindow parent(0x1), child(0x2);
    parent.SetRectAbsolute({0, 0, 100, 100});
    parent.AddChild(&child);
    child.SetRectRelative({0, 0, 10, 10});
    child.Materialize();
    parent.Materialize(1);
    child.consumeKeys = false;
    child.SetFocus();
    EXPECT_TRUE(app.GetDesktop().DispatchKeyDown(CascadeKeys::kSelect));
    EXPECT_EQ(child.keys.size(), 1u);
    EXPECT_EQ(parent.keys.size(), 1u);
}

TEST_F(WindowTreeTest, VanishingTheFocusedWindowDropsTheFocus) {
    SolidWindow a(0x1);
    a.SetRectAbsolute({0, 0, 10, 10});
    a.Materialize(2);
    a.SetFocus();
    a.Vanish();
    EXPECT_EQ(CascadeWindow::GetFocus(), nullptr);
    {
        SolidWindow temporary(0x2);
        temporary.SetRectAbsolute({0, 0, 10, 10});
        temporary.Materialize(1);
        temporary.SetFocus();
    }
    EXPECT_EQ(CascadeWindow::GetFocus(), nullptr);  // destroyed windows never stay focused
}

TEST_F(WindowTreeTest, RedrawFromAnotherThreadIsPaintedByThePaintWalk) {
    SolidWindow a(0xFF0000FF);
    a.SetRectAbsolute({0, 0, 64, 64});
    a.Materialize(1);
    Paint();
    std::thread([&] { a.Redraw({1, 1, 2, 2}); }).join();
    EXPECT_TRUE(app.GetDesktop().HasWork());
    EXPECT_EQ(Paint().size(), 1u);
}

// Scattered redraws collapse into a few rectangles that still hold them;
// what lies outside the screen is cut off.
TEST(DirtyRegion, ManyScatteredRedrawsCollapseAndRectanglesOutsideTheScreenAreCut) {
    TestApp app;
    for (int i = 0; i < 40; ++i) app.GetDesktop().Invalidate({i * 25, (i % 5) * 100, 3, 3});
    auto rects = app.GetDesktop().PaintDirty();
    EXPECT_LE(rects.size(), 8u);
    CascadeRect all;
    for (const auto& r : rects) all = all.MakeUnionRect(r);
    EXPECT_TRUE(all.Contains(CascadeRect(0, 0, 3, 3)));
    EXPECT_TRUE(all.Contains(CascadeRect(39 * 25, 400, 3, 3)));
    app.GetDesktop().Invalidate({-10, -10, 20, 20});
    app.GetDesktop().Invalidate({2000, 0, 10, 10});
    rects = app.GetDesktop().PaintDirty();
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], CascadeRect(0, 0, 10, 10));
}

}  // namespace

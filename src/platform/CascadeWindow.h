#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeRect.h"

#include <atomic>
#include <mutex>
#include <vector>

class CascadeDesktop;

// A window: a rectangle on the screen that paints itself and takes keys.
// Windows form a tree: a window without a parent is top-level and lives in a
// plane (1 holds the full-screen screens, 2 draws above it); children draw
// over their parent, clipped to it, in the order they were added.
//
// Everything here runs on the UI thread, except Redraw, GetRectAbsolute,
// GetRectRelative, GetDims, IsVisible, IsShown, IsFocus and GetFocus, which
// any thread may call. Those never walk the tree: each window keeps its
// absolute rectangle and its shown state in a snapshot that the UI thread
// refreshes (for the whole subtree) whenever the tree, a rectangle or a
// visibility changes, so another thread never follows a parent pointer the
// UI thread is changing. A window does not own its children; a window removes
// itself from its parent and from the screen when it is destroyed.
class CascadeWindow {
public:
    CascadeWindow();
    CascadeWindow(const CascadeWindow&) = delete;
    CascadeWindow& operator=(const CascadeWindow&) = delete;
    virtual ~CascadeWindow();

    // Paints the window into `target`, whose origin is the window's top-left
    // corner and whose clip is the part to repaint (never outside the window).
    virtual void OnPaint(CascadeBitmap& target);
    virtual void OnMaterialize();   // about to be shown
    virtual void OnMaterialized();  // shown
    virtual void OnVanish();        // about to be hidden
    virtual void OnClearFocus();
    virtual void OnSetFocus();
    // Keys other than the arrows. True when consumed; otherwise the parent,
    // and at last the application, gets the key.
    virtual bool OnKeyDown(unsigned long key);
    virtual bool OnKeyUp(unsigned long key);
    // Arrow keys. `next` arrives holding the window that default focus
    // movement would pick (or null). Return true to consume the key; the
    // focus then moves to `next` when it is not null. False passes the key on
    // (to the parent, and at last to default focus movement).
    virtual bool OnNavKey(unsigned long key, CascadeWindow*& next);
    virtual bool WillAcceptFocus();

    void AddChild(CascadeWindow* child);
    void RemoveChild(CascadeWindow* child);
    CascadeWindow* GetParent() const { return m_parent; }
    const std::vector<CascadeWindow*>& GetChildren() const { return m_children; }

    // Shows the window. A top-level window goes on top of `plane`; for a
    // child the plane is ignored.
    void Materialize(int plane = 1);
    void Vanish();
    // The window's own flag.
    bool IsVisible() const { return m_visible.load(); }
    // Visible itself, with every ancestor visible and the top one on screen.
    // Any thread (from the snapshot).
    bool IsShown() const;
    int GetPlane() const { return m_plane; }

    void SetFocus();
    // Any thread: the focused window (compare it, never dereference it off
    // the UI thread) and whether it is this one.
    static CascadeWindow* GetFocus();
    bool IsFocus() const;
    // True when this window or one of its descendants has the focus. UI thread.
    bool HasFocusWithin() const;

    void SetRectAbsolute(const CascadeRect& screenRect);
    void SetRectRelative(const CascadeRect& parentRect);
    // Any thread.
    CascadeRect GetRectAbsolute() const;
    CascadeRect GetRectRelative() const;
    CascadeDims GetDims() const { return GetRectRelative().Dims(); }

    // Schedules a repaint of the whole window, or of `windowRect` (in window
    // coordinates). Any thread; does nothing while the window is not shown.
    void Redraw();
    void Redraw(const CascadeRect& windowRect);

private:
    friend class CascadeDesktop;
    static CascadeDesktop* Desktop();
    void Detach();
    // UI thread: recomputes the snapshot of this window and its subtree.
    void RefreshSnapshot();

    // The tree: UI thread only.
    CascadeWindow* m_parent = nullptr;
    std::vector<CascadeWindow*> m_children;
    std::atomic<bool> m_visible{false};
    std::atomic<bool> m_onScreen{false};  // top-level windows: in a plane
    int m_plane = 0;

    // Geometry and the shown snapshot, written on the UI thread, read by
    // Redraw and the getters from any thread.
    mutable std::mutex m_geometryMutex;
    CascadeRect m_rect;          // relative to the parent (screen for top-level)
    CascadeRect m_absoluteRect;  // on the screen
    bool m_shown = false;
};

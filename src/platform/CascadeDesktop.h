#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeRect.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class CascadeWindow;

// The composed screen: the top-level windows in their planes, the focus, the
// dirty region and the screen image they are painted into. One per
// application. Painting happens only here, by walking the dirty region.
class CascadeDesktop {
public:
    static constexpr int kPlanes = 2;

    explicit CascadeDesktop(const CascadeDims& screenDims);
    CascadeDesktop(const CascadeDesktop&) = delete;
    CascadeDesktop& operator=(const CascadeDesktop&) = delete;

    CascadeDims GetDims() const { return m_dims; }

    // UI thread: the planes.
    void AddTopLevel(CascadeWindow* window, int plane);
    void RemoveTopLevel(CascadeWindow* window);
    // Back to front: plane 1 first, within a plane the last materialised last.
    std::vector<CascadeWindow*> TopLevels() const;

    // The focus. SetFocus and ForgetWindow on the UI thread (they call
    // OnClearFocus and OnSetFocus); GetFocus from any thread.
    CascadeWindow* GetFocus() const { return m_focus.load(); }
    void SetFocus(CascadeWindow* window);
    void ForgetWindow(CascadeWindow* window);  // the window is going away

    // UI thread: routes a key press to the focused window and up its parents.
    // False when no window consumed it.
    bool DispatchKeyDown(unsigned long key);
    bool DispatchKeyUp(unsigned long key);
    // The window default focus movement picks from `from` for an arrow key.
    CascadeWindow* FindNavTarget(const CascadeWindow* from, unsigned long key) const;

    // Any thread: marks a screen rectangle for repainting and wakes the UI thread.
    void Invalidate(const CascadeRect& screenRect);
    // Any thread: asks for `screenRect` to be presented as it is in the screen
    // image (after drawing straight into it under LockScreen).
    void PresentOnly(const CascadeRect& screenRect);
    bool HasWork() const;

    // UI thread: repaints the dirty region and returns the rectangles to
    // present (repainted and present-only ones). Costs nothing when clean.
    std::vector<CascadeRect> PaintDirty();

    // The screen image. Any thread that draws into it directly holds the lock.
    CascadeBitmap& LockScreen();
    void UnlockScreen();
    const CascadeBitmap& Screen() const { return m_screen; }

    void SetWaker(std::function<void()> waker);
    uint64_t PaintCount() const;  // windows painted so far (for tests and benchmarks)
    uint64_t PaintedArea() const;  // pixels of the dirty rectangles repainted so far (same)

private:
    static void AddRect(std::vector<CascadeRect>& region, const CascadeRect& rect);
    void PaintWindow(CascadeWindow* window, const CascadeRect& clip);
    bool DispatchKey(unsigned long key, bool down);

    CascadeDims m_dims;
    std::vector<CascadeWindow*> m_planes[kPlanes];  // UI thread only
    std::atomic<CascadeWindow*> m_focus{nullptr};   // written on the UI thread only

    std::recursive_mutex m_screenMutex;  // the screen image
    CascadeBitmap m_screen;

    // Shared with threads that invalidate.
    mutable std::mutex m_dirtyMutex;
    std::vector<CascadeRect> m_dirty;
    std::vector<CascadeRect> m_presentOnly;
    std::function<void()> m_waker;
    uint64_t m_paintCount = 0;
    uint64_t m_paintedArea = 0;
};

#include "platform/CascadeDesktop.h"

#include "platform/CascadeKeys.h"
#include "platform/CascadeWindow.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

constexpr std::size_t kMaxDirtyRects = 8;

bool Touches(const CascadeRect& a, const CascadeRect& b) {
    return a.x <= b.Right() && b.x <= a.Right() && a.y <= b.Bottom() && b.y <= a.Bottom();
}

// Distance score for default focus movement: how far `to` lies from `from`
// in the arrow's direction, with sideways offset weighing double. -1 when
// `to` does not lie in that direction at all.
long NavScore(const CascadeRect& from, const CascadeRect& to, unsigned long key) {
    const long fcx = from.x + from.w / 2, fcy = from.y + from.h / 2;
    const long tcx = to.x + to.w / 2, tcy = to.y + to.h / 2;
    long along = 0, across = 0;
    switch (key) {
        case CascadeKeys::kUp: along = fcy - tcy; across = std::labs(tcx - fcx); break;
        case CascadeKeys::kDown: along = tcy - fcy; across = std::labs(tcx - fcx); break;
        case CascadeKeys::kLeft: along = fcx - tcx; across = std::labs(tcy - fcy); break;
        case CascadeKeys::kRight: along = tcx - fcx; across = std::labs(tcy - fcy); break;
        default: return -1;
    }
    if (along <= 0) return -1;
    return along + 2 * across;
}

}  // namespace

CascadeDesktop::CascadeDesktop(const CascadeDims& screenDims) : m_dims(screenDims) {
    (void)m_screen.Create(screenDims);
    m_screen.Clear(CascadeColor(0x000000FFu));
}

void CascadeDesktop::AddTopLevel(CascadeWindow* window, int plane) {
    RemoveTopLevel(window);
    m_planes[std::clamp(plane, 1, kPlanes) - 1].push_back(window);
}

void CascadeDesktop::RemoveTopLevel(CascadeWindow* window) {
    for (auto& plane : m_planes) std::erase(plane, window);
}

std::vector<CascadeWindow*> CascadeDesktop::TopLevels() const {
    std::vector<CascadeWindow*> all;
    for (const auto& plane : m_planes) all.insert(all.end(), plane.begin(), plane.end());
    return all;
}

void CascadeDesktop::SetFocus(CascadeWindow* window) {
    if (window == m_focus) return;
    CascadeWindow* old = m_focus;
    m_focus = window;
    if (old) {
        old->OnClearFocus();
        old->Redraw();
    }
    if (window) {
        window->OnSetFocus();
        window->Redraw();
    }
}

void CascadeDesktop::ForgetWindow(CascadeWindow* window) {
    if (m_focus == window) m_focus = nullptr;
}

bool CascadeDesktop::DispatchKeyDown(unsigned long key) { return DispatchKey(key, true); }
bool CascadeDesktop::DispatchKeyUp(unsigned long key) { return DispatchKey(key, false); }

bool CascadeDesktop::DispatchKey(unsigned long key, bool down) {
    CascadeWindow* const focus = m_focus.load();
    if (!focus) return false;
    if (!down) {
        for (CascadeWindow* w = focus; w; w = w->GetParent())
            if (w->OnKeyUp(key)) return true;
        return false;
    }
    if (!CascadeKeys::IsArrow(key)) {
        for (CascadeWindow* w = focus; w; w = w->GetParent())
            if (w->OnKeyDown(key)) return true;
        return false;
    }
    CascadeWindow* candidate = FindNavTarget(focus, key);
    for (CascadeWindow* w = focus; w; w = w->GetParent()) {
        CascadeWindow* next = candidate;
        if (w->OnNavKey(key, next)) {
            if (next) SetFocus(next);
            return true;
        }
    }
    if (!candidate) return false;
    SetFocus(candidate);
    return true;
}

CascadeWindow* CascadeDesktop::FindNavTarget(const CascadeWindow* from, unsigned long key) const {
    if (!from) return nullptr;
    std::vector<CascadeWindow*> siblings;
    if (from->GetParent()) {
        siblings = from->GetParent()->GetChildren();
    } else {
        for (const auto& plane : m_planes)
            if (std::find(plane.begin(), plane.end(), from) != plane.end()) siblings = plane;
    }
    const CascadeRect origin = from->GetRectAbsolute();
    CascadeWindow* best = nullptr;
    long bestScore = LONG_MAX;
    for (CascadeWindow* w : siblings) {
        if (w == from || !w->IsShown() || !w->WillAcceptFocus()) continue;
        const long score = NavScore(origin, w->GetRectAbsolute(), key);
        if (score >= 0 && score < bestScore) {
            best = w;
            bestScore = score;
        }
    }
    return best;
}

void CascadeDesktop::AddRect(std::vector<CascadeRect>& region, const CascadeRect& rect) {
    CascadeRect merged = rect;
    // Fold every rectangle that touches the new one into it, until none does.
    for (bool again = true; again;) {
        again = false;
        for (auto it = region.begin(); it != region.end(); ++it) {
            if (Touches(*it, merged)) {
                merged = merged.MakeUnionRect(*it);
                region.erase(it);
                again = true;
                break;
            }
        }
    }
    region.push_back(merged);
    if (region.size() > kMaxDirtyRects) {
        CascadeRect all;
        for (const CascadeRect& r : region) all = all.MakeUnionRect(r);
        region.assign(1, all);
    }
}

void CascadeDesktop::Invalidate(const CascadeRect& screenRect) {
    const CascadeRect rect = screenRect.MakeIntersectRect(CascadeRect({0, 0}, m_dims));
    if (rect.IsEmpty()) return;
    std::function<void()> waker;
    {
        std::lock_guard lock(m_dirtyMutex);
        AddRect(m_dirty, rect);
        waker = m_waker;
    }
    if (waker) waker();
}

void CascadeDesktop::PresentOnly(const CascadeRect& screenRect) {
    const CascadeRect rect = screenRect.MakeIntersectRect(CascadeRect({0, 0}, m_dims));
    if (rect.IsEmpty()) return;
    std::function<void()> waker;
    {
        std::lock_guard lock(m_dirtyMutex);
        AddRect(m_presentOnly, rect);
        waker = m_waker;
    }
    if (waker) waker();
}

bool CascadeDesktop::HasWork() const {
    std::lock_guard lock(m_dirtyMutex);
    return !m_dirty.empty() || !m_presentOnly.empty();
}

std::vector<CascadeRect> CascadeDesktop::PaintDirty() {
    std::vector<CascadeRect> dirty, present;
    {
        std::lock_guard lock(m_dirtyMutex);
        dirty.swap(m_dirty);
        present.swap(m_presentOnly);
    }
    if (!dirty.empty()) {
        std::lock_guard screenLock(m_screenMutex);
        const std::vector<CascadeWindow*> windows = TopLevels();
        uint64_t area = 0;
        for (const CascadeRect& rect : dirty) area += uint64_t(rect.w) * uint64_t(rect.h);
        {
            std::lock_guard lock(m_dirtyMutex);
            m_paintedArea += area;
        }
        for (const CascadeRect& rect : dirty) {
            CascadeBitmap background = m_screen.View({0, 0}, rect);
            background.Clear(CascadeColor(0x000000FFu));
            for (CascadeWindow* w : windows)
                if (w->IsShown()) PaintWindow(w, rect);
        }
    }
    for (const CascadeRect& r : present) dirty.push_back(r);
    return dirty;
}

void CascadeDesktop::PaintWindow(CascadeWindow* window, const CascadeRect& clip) {
    const CascadeRect abs = window->GetRectAbsolute();
    const CascadeRect area = abs.MakeIntersectRect(clip);
    if (area.IsEmpty()) return;
    CascadeBitmap target = m_screen.View(abs.Origin(), area);
    window->OnPaint(target);
    {
        std::lock_guard lock(m_dirtyMutex);
        ++m_paintCount;
    }
    const std::vector<CascadeWindow*> children = window->GetChildren();
    for (CascadeWindow* child : children)
        if (child->IsVisible()) PaintWindow(child, area);
}

CascadeBitmap& CascadeDesktop::LockScreen() {
    m_screenMutex.lock();
    return m_screen;
}

void CascadeDesktop::UnlockScreen() { m_screenMutex.unlock(); }

void CascadeDesktop::SetWaker(std::function<void()> waker) {
    std::lock_guard lock(m_dirtyMutex);
    m_waker = std::move(waker);
}

uint64_t CascadeDesktop::PaintedArea() const {
    std::lock_guard lock(m_dirtyMutex);
    return m_paintedArea;
}

uint64_t CascadeDesktop::PaintCount() const {
    std::lock_guard lock(m_dirtyMutex);
    return m_paintCount;
}

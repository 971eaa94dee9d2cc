#include "platform/CascadeWindow.h"

#include "platform/CascadeApp.h"
#include "platform/CascadeDesktop.h"

#include <algorithm>

CascadeWindow::CascadeWindow() = default;

CascadeWindow::~CascadeWindow() { Detach(); }

void CascadeWindow::Detach() {
    if (IsShown()) Redraw();
    for (CascadeWindow* child : m_children) {
        child->m_parent = nullptr;
        child->RefreshSnapshot();
    }
    m_children.clear();
    if (m_parent) m_parent->RemoveChild(this);
    if (CascadeDesktop* desktop = Desktop()) {
        desktop->ForgetWindow(this);
        desktop->RemoveTopLevel(this);
    }
}

CascadeDesktop* CascadeWindow::Desktop() {
    CascadeApp* app = CascadeApp::s_pTheApp;
    return app ? &app->GetDesktop() : nullptr;
}

void CascadeWindow::OnPaint(CascadeBitmap&) {}
void CascadeWindow::OnMaterialize() {}
void CascadeWindow::OnMaterialized() {}
void CascadeWindow::OnVanish() {}
void CascadeWindow::OnClearFocus() {}
void CascadeWindow::OnSetFocus() {}
bool CascadeWindow::OnKeyDown(unsigned long) { return false; }
bool CascadeWindow::OnKeyUp(unsigned long) { return false; }
bool CascadeWindow::OnNavKey(unsigned long, CascadeWindow*&) { return false; }
bool CascadeWindow::WillAcceptFocus() { return true; }

void CascadeWindow::AddChild(CascadeWindow* child) {
    if (!child || child == this || child->m_parent == this) return;
    if (child->m_parent) child->m_parent->RemoveChild(child);
    if (CascadeDesktop* desktop = Desktop()) desktop->RemoveTopLevel(child);
    child->m_parent = this;
    m_children.push_back(child);
    child->RefreshSnapshot();
    if (child->IsShown()) child->Redraw();
}

void CascadeWindow::RemoveChild(CascadeWindow* child) {
    auto it = std::find(m_children.begin(), m_children.end(), child);
    if (it == m_children.end()) return;
    if (child->IsShown()) child->Redraw();
    if (CascadeDesktop* desktop = Desktop(); desktop && child->HasFocusWithin()) desktop->SetFocus(nullptr);
    m_children.erase(it);
    child->m_parent = nullptr;
    child->RefreshSnapshot();
}

void CascadeWindow::Materialize(int plane) {
    OnMaterialize();
    m_visible = true;
    if (!m_parent) {
        if (CascadeDesktop* desktop = Desktop()) {
            m_plane = std::clamp(plane, 1, CascadeDesktop::kPlanes);
            desktop->AddTopLevel(this, m_plane);
            m_onScreen = true;
        }
    }
    RefreshSnapshot();
    Redraw();
    OnMaterialized();
}

void CascadeWindow::Vanish() {
    if (!m_visible) return;
    OnVanish();
    Redraw();
    m_visible = false;
    if (CascadeDesktop* desktop = Desktop()) {
        if (HasFocusWithin()) desktop->SetFocus(nullptr);
        if (!m_parent) {
            desktop->RemoveTopLevel(this);
            m_onScreen = false;
        }
    }
    RefreshSnapshot();
}

bool CascadeWindow::IsShown() const {
    std::lock_guard lock(m_geometryMutex);
    return m_shown;
}

void CascadeWindow::RefreshSnapshot() {
    CascadeRect parentRect;
    bool parentShown = m_onScreen.load();
    if (m_parent) {
        std::lock_guard lock(m_parent->m_geometryMutex);
        parentRect = m_parent->m_absoluteRect;
        parentShown = m_parent->m_shown;
    }
    {
        std::lock_guard lock(m_geometryMutex);
        m_absoluteRect = m_rect.Offset(parentRect.x, parentRect.y);
        m_shown = m_visible && parentShown;
    }
    for (CascadeWindow* child : m_children) child->RefreshSnapshot();
}

void CascadeWindow::SetFocus() {
    if (CascadeDesktop* desktop = Desktop()) desktop->SetFocus(this);
}

CascadeWindow* CascadeWindow::GetFocus() {
    CascadeDesktop* desktop = Desktop();
    return desktop ? desktop->GetFocus() : nullptr;
}

bool CascadeWindow::IsFocus() const { return GetFocus() == this; }

bool CascadeWindow::HasFocusWithin() const {
    for (const CascadeWindow* w = GetFocus(); w; w = w->m_parent)
        if (w == this) return true;
    return false;
}

void CascadeWindow::SetRectAbsolute(const CascadeRect& screenRect) {
    CascadeRect rect = screenRect;
    if (m_parent) {
        const CascadeRect parent = m_parent->GetRectAbsolute();
        rect = rect.Offset(-parent.x, -parent.y);
    }
    SetRectRelative(rect);
}

void CascadeWindow::SetRectRelative(const CascadeRect& parentRect) {
    const bool shown = IsShown();
    if (shown) Redraw();  // where it was
    {
        std::lock_guard lock(m_geometryMutex);
        m_rect = parentRect;
    }
    RefreshSnapshot();
    if (shown) Redraw();  // where it is now
}

CascadeRect CascadeWindow::GetRectRelative() const {
    std::lock_guard lock(m_geometryMutex);
    return m_rect;
}

CascadeRect CascadeWindow::GetRectAbsolute() const {
    std::lock_guard lock(m_geometryMutex);
    return m_absoluteRect;
}

void CascadeWindow::Redraw() { Redraw(CascadeRect({0, 0}, GetDims())); }

void CascadeWindow::Redraw(const CascadeRect& windowRect) {
    if (!IsShown()) return;
    CascadeDesktop* desktop = Desktop();
    if (!desktop) return;
    const CascadeRect abs = GetRectAbsolute();
    const CascadeRect local = windowRect.MakeIntersectRect(CascadeRect({0, 0}, abs.Dims()));
    if (!local.IsEmpty()) desktop->Invalidate(local.Offset(abs.x, abs.y));
}

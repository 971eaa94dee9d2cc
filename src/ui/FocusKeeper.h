#pragma once

#include "platform/CascadeWindow.h"

// What a dialog needs to give the focus back: the window that had it when
// the dialog materialised. UI thread only. The remembered window must still
// be shown to get the focus back (a window closed meanwhile is skipped).
class FocusKeeper {
public:
    void Remember() { m_window = CascadeWindow::GetFocus(); }
    void Remember(CascadeWindow* window) { m_window = window; }
    CascadeWindow* Get() const { return m_window; }
    // Gives the focus back and forgets it.
    void Restore() {
        CascadeWindow* window = m_window;
        m_window = nullptr;
        if (window && window->IsShown()) window->SetFocus();
    }

private:
    CascadeWindow* m_window = nullptr;
};

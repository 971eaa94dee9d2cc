#include "screens/PleaseWaitWindow.h"

#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

void PleaseWaitWindow::Show() {
    if (IsVisible()) return;
    m_focus.Remember();
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetPleaseWaitBackground()));
    Materialize(2);
    SetFocus();
}

void PleaseWaitWindow::SetText(const char* text) {
    m_text = text ? text : "";
    Redraw();
}

void PleaseWaitWindow::SetFocusToRestore(CascadeWindow* window) {
    if (window) m_focus.Remember(window);
}

void PleaseWaitWindow::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*g_config.GetPleaseWaitBackground(), {0, 0});
    if (!m_text.IsEmpty()) {
        const CascadeDims size = GetDims();
        const CascadeRect area(0, 85, size.w, size.h - 85);
        EUtils::ShadowedDrawText(target, m_font, area, m_text.c_str(), CascadeColor(0xFFFFFFFFu), 0x2, 2,
                                 CascadeColor(0x000000FFu), EUtils::kDownRight, EUtils::ShadowSteps::kAll);
    }
    m_painted = true;
}

void PleaseWaitWindow::OnVanish() {
    m_painted = false;
    m_focus.Restore();
}

bool PleaseWaitWindow::OnKeyDown(unsigned long key) {
    if (key != CascadeKeys::kExit) return true;
    for (CascadeWindow* window = m_focus.Get(); window; window = window->GetParent())
        if (window->IsShown() && window->OnKeyDown(key)) break;
    return true;
}

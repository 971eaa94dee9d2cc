#include "screens/SmallInfoWindow.h"

#include "platform/CascadeScreen.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"

SmallInfoWindow::SmallInfoWindow()
    : m_titleFont("system", CascadeFont::kNormal, 16), m_textFont("system", CascadeFont::kNormal, 14) {}

void SmallInfoWindow::Attach(const ScreenContext& context) { m_panel.Attach(context); }

void SmallInfoWindow::Show() {
    const CascadeDims screen = CascadeScreen().GetDims();
    const CascadeDims size = DialogImages::Size(*g_config.GetMiniModeBackground());
    SetRectAbsolute({screen.w - 20 - size.w, screen.h - 20 - size.h, size.w, size.h});
    Materialize(2);
}

void SmallInfoWindow::OnMaterialize() {
    const CascadeDims size = GetDims();
    // Compact with the cover: title, artist and a bar fit a 380 x 120 panel
    // and still read from the sofa; the player's state shows over the bar.
    m_panel.SetCompact(true);
    m_panel.ShowCoverArt(true);
    m_panel.ShowPlayerState(true);
    m_panel.SetAutoRedraw(true);
    m_panel.SetBackgroundColor(CascadeColor(0x00000000u));
    m_panel.Relayout();
    m_panel.SetRectRelative({5, 5, size.w - 3, size.h - 12});
    AddChild(&m_panel);
    m_panel.Materialize();
}

void SmallInfoWindow::OnMaterialized() { m_panel.StartUpdate(); }

void SmallInfoWindow::OnVanish() {
    m_panel.StopUpdate();
    m_panel.Vanish();
    RemoveChild(&m_panel);
}

void SmallInfoWindow::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*g_config.GetMiniModeBackground(), {0, 0});
}

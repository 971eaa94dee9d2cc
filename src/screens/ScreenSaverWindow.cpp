#include "screens/ScreenSaverWindow.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "player/IRCode.h"

namespace {

constexpr CascadeColor kBlack{0x000000FFu};

}  // namespace

ScreenSaverWindow::~ScreenSaverWindow() {
    if (m_timerId) KillTimer(m_timerId);
}

void ScreenSaverWindow::Attach(const ScreenContext& context) {
    m_context = context;
    m_panel.Attach(context);
}

void ScreenSaverWindow::Show(Client* client) {
    m_client = client;
    const CascadeDims screen = CascadeScreen().GetDims();
    SetRectAbsolute({0, 0, screen.w, screen.h});
    Materialize(2);
}

void ScreenSaverWindow::OnMaterialize() {
    m_focus.Remember();
    m_panelRect = {0, 0, kPanelWidth, kPanelHeight};
    m_lastPainted = m_panelRect;
    m_firstPaint = true;
    // Read from across the room: the cover, large type, and the player's
    // state over the bar when it is not simply playing.
    m_panel.SetBackgroundColor(kBlack);
    m_panel.ShowCoverArt(true);
    m_panel.SetCompact(false);
    m_panel.ShowPlayerState(true);
    m_panel.SetAutoRedraw(true);
    m_panel.Relayout();
    m_panel.SetRectRelative(m_panelRect);
    AddChild(&m_panel);
    m_panel.Materialize();
    SetFocus();
}

void ScreenSaverWindow::OnMaterialized() {
    m_panel.StartUpdate();
    if (!m_timerId) m_timerId = SetTimer(kTickMs);
}

void ScreenSaverWindow::OnVanish() {
    m_panel.StopUpdate();
    m_panel.Vanish();
    RemoveChild(&m_panel);
    if (m_timerId) {
        KillTimer(m_timerId);
        m_timerId = 0;
    }
    m_focus.Restore();
    Client* client = m_client;
    m_client = nullptr;
    if (client) client->OnScreenSaverCleared();
}

// The first paint blacks out the whole screen, later ones where the panel
// was. The screens below repaint themselves under this window when they
// change (the desktop composes every plane), so whatever else is repainted
// is blacked out again as well: the repaint area, never more.
void ScreenSaverWindow::OnPaint(CascadeBitmap& target) {
    if (m_firstPaint) {
        target.FillRect(CascadeRect({0, 0}, GetDims()), kBlack);
        m_firstPaint = false;
    } else {
        target.FillRect(target.GetClip().MakeUnionRect(m_lastPainted).MakeIntersectRect(target.GetClip()), kBlack);
    }
    m_lastPainted = m_panelRect;
}

void ScreenSaverWindow::OnTimer(unsigned long id) {
    if (id == m_timerId) Step();
}

void ScreenSaverWindow::Step() {
    const CascadeDims screen = GetDims();
    const CascadeRect& last = m_lastPainted;
    if (last.x + last.w >= screen.w)
        m_stepX = -1;
    else if (last.x == 0)
        m_stepX = 1;
    if (last.y + last.h >= screen.h)
        m_stepY = -2;
    else if (last.y == 0)
        m_stepY = 2;
    const CascadeRect old = m_panelRect;
    m_panelRect = m_panelRect.Offset(m_stepX, m_stepY);
    m_panel.SetRectRelative(m_panelRect);
    // Only where the panel was and where it is now.
    Redraw(old.MakeUnionRect(m_panelRect));
}

bool ScreenSaverWindow::HandleTransportKey(unsigned long key) {
    PlayerView* player = m_context.player;
    switch (key) {
        case CascadeKeys::kPlay:
            if (player) (void)player->SendIRCode(IRCode::kPlay);
            return true;
        case CascadeKeys::kPlayPause: {
            const bool playing = player && player->GetPlayerState() == PlayerView::kPlaying && player->IsAudioPlaying();
            if (player) (void)player->SendIRCode(playing ? IRCode::kPause : IRCode::kPlay);
            return true;
        }
        case CascadeKeys::kPrevious:
            if (player) (void)player->SendIRCode(IRCode::kPrevious);
            return true;
        case CascadeKeys::kNext:
            if (player) (void)player->SendIRCode(IRCode::kNext);
            return true;
        case CascadeKeys::kStop:
            if (m_context.app && m_context.server) {
                SlimConnection* server = m_context.server;
                m_context.app->PostCommand("stop", [server] { server->Stop(); });
            }
            return true;
        default:
            return false;
    }
}

bool ScreenSaverWindow::OnKeyDown(unsigned long key) {
    if (key == CascadeKeys::kNoActivity) return false;
    if (g_ssTransport && HandleTransportKey(key)) return true;
    Vanish();
    return true;
}

bool ScreenSaverWindow::OnNavKey(unsigned long key, CascadeWindow*& next) {
    if (key == CascadeKeys::kNoActivity) return false;
    next = nullptr;
    Vanish();
    return true;
}

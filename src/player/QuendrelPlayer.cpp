#include "player/QuendrelPlayer.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "ui/Configuration.h"
#include "server/SlimCLIConnection.h"

#include <cstdio>

namespace {

constexpr unsigned long kIrPowerOn = 0xF701;
constexpr unsigned long kIrPowerOff = 0xF700;

}  // namespace

QuendrelPlayer::QuendrelPlayer() = default;

QuendrelPlayer::~QuendrelPlayer() { Disconnect(); }

bool QuendrelPlayer::Connect() { return Connect(g_serverIP.c_str()); }

bool QuendrelPlayer::Connect(const char* host) {
    std::printf("Connect\n");
    m_server.RegisterClient(this);
    m_registered = true;
    m_connected = m_server.Connect(host);
    return m_connected;
}

bool QuendrelPlayer::Disconnect() {
    std::printf("Disconnect\n");
    m_state = kStopped;
    // A first attempt that failed leaves the link retrying in the background,
    // and it may have come up since: so goodbye depends on having connected
    // at all, not on the first attempt's result. Without a link or a HELO the
    // server object sends nothing.
    if (!m_registered) return true;
    m_server.UnregisterClient(this);
    m_server.SendIR(kIrPowerOff);
    m_server.SendBye();
    m_server.Disconnect();
    m_connected = false;
    m_registered = false;
    return true;
}

bool QuendrelPlayer::SendIR(unsigned long code) { return m_server.SendIR(code); }

void QuendrelPlayer::SetDisplayVisible(bool visible) {
    m_displayVisible = visible;
    Redraw();
}

void QuendrelPlayer::OnPaint(CascadeBitmap& target) {
    if (!m_displayVisible) return;
    target.FillRect(CascadeRect({0, 0}, GetDims()), g_config.GetDisplayBackgroundColor());
}

void QuendrelPlayer::OnSlimServerCommand(const char*, unsigned char*, unsigned long) {}

void QuendrelPlayer::OnSlimServerConnected() {
    if (!m_server.SendHello(IsPlaying()) || !m_server.SendIR(kIrPowerOn)) return;
    // The server also hears over its CLI that this player is on.
    m_server.GetSlimCLIConnection()->Power(true);
}

void QuendrelPlayer::OnSlimServerDisconnected() {}

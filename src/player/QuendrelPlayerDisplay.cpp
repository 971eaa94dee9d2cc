// The player window's display and keys: server-drawn frames, the error
// message, the volume and the remote keys turned into IR codes.
#include "player/QuendrelPlayer.h"

#include "app/base/AppActivity.h"
#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeTime.h"
#include "player/IRCode.h"
#include "player/PlayerDisplay.h"
#include "server/SlimCLIConnection.h"
#include "ui/Configuration.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr CascadeColor kMessageColor(0xFF0000FFu);
constexpr unsigned long kMessageFlags = 3;  // centred both ways
// The grfe header before the frame bytes; byte 2 is the transition letter.
constexpr unsigned long kGrfeHeader = 4;

// One snapshot for the three colours, so a skin change between them cannot
// mix two skins in one frame.
PlayerDisplay::Colors SkinColors() {
    const auto skin = g_config.GetSkin();
    return {skin->GetDisplayColor(), skin->GetDisplayBackgroundColor(), skin->GetDisplayLinesColor()};
}

}  // namespace

void QuendrelPlayer::MaterializeDisplay() {
    if (!m_displayBitmap.Create({PlayerDisplay::kColumns, PlayerDisplay::kBitmapHeight})) return;
    m_displayBitmap.Clear(g_config.GetDisplayBackgroundColor());
    const CascadeDims window = GetDims(), bitmap = m_displayBitmap.GetDims();
    m_displayRect = {(window.w - 1) / 2 - (bitmap.w - 1) / 2, (window.h - 1) / 2 - (bitmap.h - 1) / 2, bitmap.w,
                     bitmap.h};
}

bool QuendrelPlayer::TakeFreshMessage(CascadeString& message) {
    std::lock_guard guard(m_messageLock);
    if (!m_errorMessage.IsEmpty() &&
        PlayerDisplay::IsMessageFresh(m_messageTime, CascadeTime::GetUptimeMilliseconds())) {
        message = m_errorMessage;
        return true;
    }
    m_errorMessage = "";
    m_messageTime = 0;
    return false;
}

void QuendrelPlayer::AcknowledgeTransition() {
    {
        std::lock_guard guard(m_displayLock);
        if (m_transition == 'c' || m_transition == '\0') return;
        m_transition = 'c';
    }
    (void)m_server.SendANIC();
}

void QuendrelPlayer::HandleGrfe(const unsigned char* data, unsigned long length) {
    CascadeString message;
    if (TakeFreshMessage(message)) {
        if (IsVisible()) Redraw();
        return;
    }
    if (!data || length < kGrfeHeader) {
        AppLog::WriteToLog("slimproto: grfe frame of %lu bytes has no header; dropped\n", false, length);
        return;
    }
    // A frame longer than the display keeps only the display's bytes.
    const std::size_t bytes = std::min<std::size_t>(length - kGrfeHeader, PlayerDisplay::kFrameBytes);
    char transition;
    {
        std::lock_guard guard(m_displayLock);
        m_transition = char(data[2]);
        transition = m_transition;
        m_displayBuffer.fill(0);
        std::memcpy(m_displayBuffer.data(), data + kGrfeHeader, bytes);
    }
    const uint64_t now = CascadeTime::GetUptimeMilliseconds();
    if (IsShown() && m_displayVisible &&
        PlayerDisplay::DrawsNow(transition, now, m_lastDrawTime, g_smoothScroll != 0)) {
        m_lastDrawTime = now;
        DrawDisplayDirect();
    }
    AcknowledgeTransition();
}

void QuendrelPlayer::DrawDisplayDirect() {
    const CascadeRect window = GetRectAbsolute();
    m_screenBitmap.Init({window.x + (window.w - PlayerDisplay::kColumns) / 2,
                         window.y + (window.h - PlayerDisplay::kRows) / 2, PlayerDisplay::kColumns,
                         PlayerDisplay::kBitmapHeight});
    std::array<uint8_t, PlayerDisplay::kFrameBytes> frame;
    {
        std::lock_guard guard(m_displayLock);
        frame = m_displayBuffer;
    }
    if (!m_screenBitmap.Open()) return;
    PlayerDisplay::DrawFrame(m_screenBitmap, frame.data(), SkinColors());
    m_screenBitmap.Close();
}

void QuendrelPlayer::HandleAudg(const unsigned char* data, unsigned long length) {
    const std::optional<unsigned short> volume = PlayerDisplay::VolumeFromAudg(data, length);
    if (!volume) {
        AppLog::WriteToLog("slimproto: audg of %lu bytes is too short; volume kept\n", false, length);
        return;
    }
    m_volume = *volume;
    m_audio.SetVolume(*volume);
}

void QuendrelPlayer::CreateBitmapFromBuffer(CascadeBitmap& bitmap, const unsigned char* buffer,
                                            unsigned long length) {
    PlayerDisplay::CreateBitmapFromBuffer(bitmap, buffer, length, SkinColors());
}

void QuendrelPlayer::OnPaint(CascadeBitmap& target) {
    if (!m_displayVisible) return;
    CascadeString message;
    if (TakeFreshMessage(message)) {
        const CascadeRect box({0, 0}, GetDims());
        target.FillRect(box, g_config.GetDisplayBackgroundColor());
        target.DrawText(m_messageFont, box, message.View(), kMessageColor, kMessageFlags);
    } else if (m_displayBitmap.IsValid()) {
        std::array<uint8_t, PlayerDisplay::kFrameBytes> frame;
        {
            std::lock_guard guard(m_displayLock);
            frame = m_displayBuffer;
        }
        CreateBitmapFromBuffer(m_displayBitmap, frame.data(), frame.size());
        target.CopyFrom(m_displayBitmap, m_displayRect.Origin());
    }
    AcknowledgeTransition();
}

bool QuendrelPlayer::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    if (key == CascadeKeys::kPlayPause) {
        const bool pause = IsPlaying();
        AppLog::WriteToLog(pause ? "Player - Pause\n" : "Player - Play\n", true);
        (void)SendIR(pause ? IRCode::kPause : IRCode::kPlay);
        return true;
    }
    if (key == CascadeKeys::kStop) {
        AppLog::WriteToLog("Player - Stop\n", false);
        // Over the CLI, on the command thread: a slow server must not hold the key.
        auto stop = [this] {
            if (SlimCLIConnection* cli = m_server.GetSlimCLIConnection()) cli->Stop();
        };
        if (m_app)
            m_app->PostCommand("stop", std::move(stop));
        else
            stop();
        return true;
    }
    const std::optional<PlayerDisplay::KeyCommand> command = PlayerDisplay::CommandForKey(key);
    if (!command) return false;
    if (*command->logLine) AppLog::WriteToLog("%s", false, command->logLine);
    (void)SendIR(command->ir);
    return true;
}

bool QuendrelPlayer::OnNavKey(unsigned long key, CascadeWindow*& next) {
    AppActivity::NotifyActivity(key);
    if (const std::optional<PlayerDisplay::KeyCommand> command = PlayerDisplay::CommandForArrow(key)) {
        AppLog::WriteToLog("%s", false, command->logLine);
        (void)SendIR(command->ir);
    }
    next = nullptr;
    return true;
}

#include "screens/NowPlayingWindow.h"

#include "platform/CascadeTextFlags.h"
#include "ui/Configuration.h"

NowPlayingWindow::NowPlayingWindow() : m_textFont("system", CascadeFont::kNormal, 22) {}

void NowPlayingWindow::SetMessage(const char* message) {
    {
        std::lock_guard lock(m_messageMutex);
        m_message = message;
    }
    Redraw();
}

CascadeString NowPlayingWindow::GetMessage() const {
    std::lock_guard lock(m_messageMutex);
    return m_message;
}

void NowPlayingWindow::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*g_config.GetNowPlayingBackground(), {0, 0});
    target.DrawBitmap(*g_config.GetLogo(), {28, 12});
    const CascadeString message = GetMessage();
    if (!message.IsEmpty()) PaintMessage(target, message);
}

// A black box in the middle of the screen with the message in red; a text
// too wide for one line gets two.
void NowPlayingWindow::PaintMessage(CascadeBitmap& target, const CascadeString& message) {
    const CascadeDims window = GetDims();
    CascadeDims text = m_textFont.GetTextExtent(message.View());
    text.h = m_textFont.GetLineHeight();
    if (text.w > window.w - 20) {
        text.w = window.w - 100;
        text.h *= 2;
    }
    const CascadeRect box((window.w - (text.w + 20)) / 2, (window.h - (text.h + 20)) / 2, text.w + 20, text.h + 20);
    target.FillRect(box, CascadeColor(0x000000FFu));
    const CascadeRect textRect(box.x + 10, box.y + 10, text.w, text.h);
    target.DrawText(m_textFont, textRect, message.View(), CascadeColor(0xFF0000FFu),
                    CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kWordWrap);
}

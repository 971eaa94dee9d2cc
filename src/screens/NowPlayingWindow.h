#pragma once

#include "platform/CascadeFont.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"

#include <mutex>

// The main screen. This part draws the skin's background and logo and the
// start-up message box ("Unable to locate SlimServer."); the song panel, the
// cover and the upcoming songs arrive with their own classes.
class NowPlayingWindow : public CascadeWindow {
public:
    NowPlayingWindow();

    // Stores the message and redraws; an empty text removes the box. Any thread.
    void SetMessage(const char* message);
    CascadeString GetMessage() const;

    void OnPaint(CascadeBitmap& target) override;

private:
    void PaintMessage(CascadeBitmap& target, const CascadeString& message);

    CascadeFont m_textFont;
    mutable std::mutex m_messageMutex;  // guards m_message
    CascadeString m_message;
};

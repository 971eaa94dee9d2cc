#pragma once

#include <cstdint>

class CascadeWindow;

// The narrow view of the player that screens use: its state, the seconds
// played, the remote's IR codes, and the player display (its window, whether
// it shows). The player implements it; tests stand in for it.
class PlayerView {
public:
    // The player's states as its status reports count them.
    enum State : uint32_t { kStopped = 0, kOpening = 1, kBuffering = 3, kPlaying = 4, kPaused = 5 };

    PlayerView() = default;
    PlayerView(const PlayerView&) = delete;
    PlayerView& operator=(const PlayerView&) = delete;

    // Any thread.
    virtual uint32_t GetPlayerState() const = 0;
    // State 4 with the audio actually playing. Any thread.
    virtual bool IsAudioPlaying() const = 0;
    // Seconds played of the current track. Any thread.
    virtual unsigned long GetPlayedSeconds() const = 0;
    // Sends a remote key's IR code to the server; false when not sent. Any thread.
    virtual bool SendIRCode(unsigned long code) = 0;
    // The window of the player display (it has the focus while no dialog or
    // browser is up). Any thread may compare it with the focus.
    virtual CascadeWindow& GetDisplayWindow() = 0;
    // Shows or hides the server-drawn display (hidden behind the screen
    // saver and while the application is hidden) and redraws it. UI thread.
    virtual void ShowDisplay(bool visible) = 0;

protected:
    ~PlayerView() = default;
};

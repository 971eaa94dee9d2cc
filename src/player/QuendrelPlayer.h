#pragma once

#include "platform/CascadeWindow.h"
#include "player/SlimServer.h"

#include <atomic>
#include <cstdint>

// The network player: the SlimProto client and the window that shows the
// server-drawn display. This part holds the connection life cycle: connect,
// say hello and switch on, say goodbye and disconnect. Stream handling and
// the display arrive with their own classes.
class QuendrelPlayer : public CascadeWindow, public SlimServer::Client {
public:
    enum State : uint32_t { kStopped = 0, kOpening = 1, kBuffering = 3, kPlaying = 4, kPaused = 5 };

    QuendrelPlayer();
    ~QuendrelPlayer() override;

    // UI thread. Connects to g_serverIP (or `host`); false when the first
    // attempt failed (the link keeps retrying in the background).
    bool Connect();
    bool Connect(const char* host);
    // UI thread (or a fatal-signal handler). Says goodbye (IR 0xF700, BYE!)
    // and closes the link. Always true.
    bool Disconnect();

    // Any thread: false when not sent (no link, or no HELO yet).
    bool SendIR(unsigned long code);

    uint32_t GetState() const { return m_state.load(); }
    // Playing: state 4 with audio running (the audio player arrives later;
    // until then nothing plays).
    bool IsPlaying() const { return m_state.load() == kPlaying; }
    bool IsConnected() const { return m_connected.load(); }
    SlimServer& GetServer() { return m_server; }

    // The application hides the display behind the screen saver and while
    // hidden; set with a redraw.
    void SetDisplayVisible(bool visible);
    bool IsDisplayVisible() const { return m_displayVisible.load(); }

    // CascadeWindow
    void OnPaint(CascadeBitmap& target) override;

    // SlimServer::Client (SlimProto reader thread)
    void OnSlimServerCommand(const char* opcode, unsigned char* data, unsigned long length) override;
    void OnSlimServerConnected() override;
    void OnSlimServerDisconnected() override;

private:
    std::atomic<uint32_t> m_state{kStopped};
    std::atomic<bool> m_connected{false};
    bool m_registered = false;  // UI thread: registered with the server object
    std::atomic<bool> m_displayVisible{true};
    SlimServer m_server;
};

#pragma once

#include "platform/CascadeRect.h"
#include "platform/CascadeTimer.h"
#include "platform/CascadeWindow.h"
#include "screens/CurrentSongInfo.h"
#include "screens/ScreenContext.h"
#include "ui/FocusKeeper.h"

#include <cstdint>

// The screen saver: a black screen over which the current-song panel
// drifts, one pixel across and two down every 250 ms, bouncing off the
// edges. A key closes it (with "-SSTransport" the transport keys act and
// leave it up). UI thread only, apart from the panel's own update thread.
class ScreenSaverWindow : public CascadeWindow, public CascadeTimer {
public:
    class Client {
    public:
        virtual void OnScreenSaverCleared() = 0;

    protected:
        ~Client() = default;
    };

    static constexpr int kPanelWidth = 600;
    static constexpr int kPanelHeight = 165;
    static constexpr unsigned long kTickMs = 250;

    ScreenSaverWindow() = default;
    ~ScreenSaverWindow() override;

    void Attach(const ScreenContext& context);

    // Covers the whole screen; plane 2.
    virtual void Show(Client* client);

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnMaterialized() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;
    void OnTimer(unsigned long id) override;

    // One movement step (what each tick does). UI thread; tests call it.
    void Step();
    const CascadeRect& GetPanelRect() const { return m_panelRect; }
    CurrentSongInfo& GetPanel() { return m_panel; }

private:
    // The transport keys with "-SSTransport"; true when the key acted.
    bool HandleTransportKey(unsigned long key);

    ScreenContext m_context;
    int8_t m_stepX = 5;
    int8_t m_stepY = 10;
    unsigned long m_timerId = 0;
    CascadeRect m_panelRect;
    CascadeRect m_lastPainted;
    bool m_firstPaint = true;
    FocusKeeper m_focus;
    Client* m_client = nullptr;
    CurrentSongInfo m_panel;
};

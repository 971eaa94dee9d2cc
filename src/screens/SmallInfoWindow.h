#pragma once

#include "platform/CascadeFont.h"
#include "platform/CascadeWindow.h"
#include "screens/CurrentSongInfo.h"
#include "screens/ScreenContext.h"

// The mini panel left at the bottom right of the screen while the
// application is hidden: the current song, compact, with its cover. It never
// takes the focus. UI thread only, apart from the panel's update thread.
class SmallInfoWindow : public CascadeWindow {
public:
    SmallInfoWindow();
    ~SmallInfoWindow() override = default;

    void Attach(const ScreenContext& context);

    // The size of the mini-mode background, its right and bottom edges 20
    // pixels inside the screen's; plane 2.
    virtual void Show();

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnMaterialized() override;
    void OnVanish() override;
    bool WillAcceptFocus() override { return false; }

    CurrentSongInfo& GetPanel() { return m_panel; }

private:
    CascadeFont m_titleFont, m_textFont;
    CurrentSongInfo m_panel;
};

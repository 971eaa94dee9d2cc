#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "ui/EButton.h"
#include "ui/FocusKeeper.h"

#include <array>

// The question asked when the user leaves while music plays: exit or hide.
// Select closes it with "exit" or "hide" and tells the client; Exit closes
// it without telling anyone (playback goes on). UI thread only.
class ExitDialog : public CascadeWindow {
public:
    class Client {
    public:
        virtual void OnExitCommand(const CascadeString& command) = 0;

    protected:
        ~Client() = default;
    };

    ExitDialog() = default;
    ~ExitDialog() override = default;

    // Centred with the size of the exit dialog background; plane 2.
    void ShowDialog(Client* client);

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;

private:
    FocusKeeper m_focus;
    Client* m_client = nullptr;
    std::array<CascadeBitmap, 3> m_bitmaps;  // title, "exit", "hide"
    CascadeRect m_titleRect;
    EButton m_exitButton, m_hideButton;
    CascadeString m_command;
    bool m_bitmapsLoaded = false;
    bool m_laidOut = false;
};

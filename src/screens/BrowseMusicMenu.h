#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "ui/EButton.h"
#include "ui/FocusKeeper.h"

#include <array>

// The main menu: library, playlists, folders, cover art and radio. Select
// closes it with the button's command word, Exit with an empty one; the
// client hears the command either way. UI thread only.
class BrowseMusicMenu : public CascadeWindow {
public:
    class Client {
    public:
        virtual void OnMenuCommand(const CascadeString& command) = 0;

    protected:
        ~Client() = default;
    };

    BrowseMusicMenu() = default;
    ~BrowseMusicMenu() override = default;

    // Centred on the screen with the size of the menu background; plane 1.
    void ShowDialog(Client* client);
    const CascadeString& GetCommand() const { return m_command; }

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;

private:
    enum Button { kLibrary, kPlaylists, kCoverArt, kFolders, kRadio, kButtonCount };
    void LoadBitmaps();

    FocusKeeper m_focus;
    // Title, then the words of the library, playlists, folders, cover art
    // and radio buttons.
    std::array<CascadeBitmap, 6> m_bitmaps;
    CascadeRect m_titleRect;
    std::array<EButton, kButtonCount> m_buttons;
    Client* m_client = nullptr;
    CascadeString m_command;
    bool m_bitmapsLoaded = false;
    bool m_laidOut = false;
};

#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeTimer.h"
#include "platform/CascadeWindow.h"
#include "screens/AlbumInfoDialog.h"
#include "screens/LibraryLevels.h"
#include "screens/ManagePlaylistDialog.h"
#include "screens/ScreenContext.h"
#include "screens/SongInfoDialog.h"
#include "server/SlimCLIListener.h"
#include "ui/FocusKeeper.h"
#include "ui/ListenerRegistration.h"

#include <array>

// The music library: genres, artists, albums and tracks side by side over
// the server's current playlist, each list paged from the server. A
// selection narrows the levels below it once the user pauses; Next and
// Previous jump by initial letter; Select opens the action dialog on the
// selection, Options the song or album details; Play plays the selection;
// the playlist follows the server through the change listener.
//
// Threads: the UI thread shows, hides, paints and takes the keys; the lists
// are loaded on the window's loader thread ("library"), and playlist
// commands run on the application's command queue, so no key waits on the
// server. Listener callbacks only ask the loader for the playlist.
class MusicLibraryWindow : public CascadeWindow,
                           public CascadeTimer,
                           public ManagePlaylistDialog::Client,
                           public SlimCLIListener::Client {
public:
    MusicLibraryWindow();
    ~MusicLibraryWindow() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);

    // ManagePlaylistDialog::Client (also the info dialogs' buttons): "play",
    // "insert", "add", "remove" or "clear" (letter case ignored), on the
    // selection as it is now and the list that has the focus. Returns at
    // once; the command runs on the application's command queue. UI thread.
    void OnManagePlaylistCommand(const CascadeString& command) override;

    char GetStartLetter(const char* name) const { return m_levels.GetStartLetter(name); }
    LibraryLevels& GetLevels() { return m_levels; }
    ManagePlaylistDialog& GetManageDialog() { return m_manageDialog; }
    SongInfoDialog& GetSongInfoDialog() { return m_songInfo; }
    AlbumInfoDialog& GetAlbumInfoDialog() { return m_albumInfo; }
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs) { return m_levels.WaitUntilIdle(timeoutMs); }

    // CascadeWindow
    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnMaterialized() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;
    bool WillAcceptFocus() override { return false; }

    // CascadeTimer: the 250 ms reload tick.
    void OnTimer(unsigned long id) override;

    // SlimCLIListener::Client (listener thread)
    void OnSongChanged(const SongInfo&) override {}
    void OnPlaylistChanged(const char* change) override;
    void OnRepeatChanged(uint8_t) override {}
    void OnShuffleChanged(uint8_t mode) override;

private:
    void LayOut();
    void MoveFocus(bool right);
    void OpenManageDialog(LibraryLevel level);
    void OpenInfoDialog(LibraryLevel level);
    LibraryLevel FocusedOr(LibraryLevel fallback) const;

    ScreenContext m_context;
    FocusKeeper m_focus;             // given back on vanish
    CascadeWindow* m_commandFocus = nullptr;  // had the focus at the last playlist command
    ManagePlaylistDialog m_manageDialog;
    SongInfoDialog m_songInfo;
    AlbumInfoDialog m_albumInfo;

    // Images and layout, made at the first showing (UI thread).
    CascadeBitmap m_titleBitmap, m_smallPanel, m_largePanel;
    std::array<CascadeBitmap, LibraryLevels::kLevelCount> m_headers;
    std::array<CascadeRect, LibraryLevels::kLevelCount> m_headerRects;
    std::array<CascadeRect, LibraryLevels::kLevelCount> m_panelRects;
    CascadeRect m_titleRect;
    CascadeFont m_listFont, m_smallFont;
    bool m_laidOut = false;

    unsigned long m_timerId = 0;
    LibraryLevels m_levels{"library", LibraryLevel::kTrack, true};
    // Last: unregisters (waiting for a callback under way) before the lists
    // and the loader the callbacks use go.
    ListenerRegistration m_registration{*this};
};

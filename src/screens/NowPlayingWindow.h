#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeTimer.h"
#include "platform/CascadeWindow.h"
#include "screens/CurrentSongInfo.h"
#include "screens/ScreenContext.h"
#include "server/SlimCLIListener.h"
#include "server/SlimConnection.h"
#include "ui/AlbumButton.h"
#include "ui/EListView.h"
#include "ui/ListenerRegistration.h"
#include "ui/ScreenLoader.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// The main screen: the cover, the current song's panel, the songs coming
// up, the repeat and shuffle modes with the tracks remaining, and the
// server's version and address; or, while a message is set (the start-up's
// "Unable to connect to SlimServer."), that message in a box.
//
// Threads: the UI thread shows, hides and paints it. The status is read
// over the CLI on the listener thread (notifications) and on the window's
// loader thread ("nowplaying", when it is shown); both fetch first, then
// swap the result into m_data under m_dataLock and redraw.
class NowPlayingWindow : public CascadeWindow, public CascadeTimer, public SlimCLIListener::Client {
public:
    NowPlayingWindow();
    ~NowPlayingWindow() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);

    // Re-reads the status with the upcoming songs and refills the list, the
    // cover and the status line. Listener or loader thread (blocks on the CLI).
    void UpdatePlaylist();
    // Points the cover at the current song's album; -1 when nothing changed.
    int UpdateCover();
    // Unregisters from the listener and stops the song panel's updates.
    void StopUpdate();
    // Asks the loader thread for an UpdatePlaylist. Any thread; returns at once.
    void RequestRefresh();

    // Stores the message and redraws; an empty text removes the box. Any thread.
    void SetMessage(const char* message);
    CascadeString GetMessage() const;
    // What the screen keeps of the status it last read.
    struct Status {
        uint8_t repeat = 0;
        uint8_t shuffle = 0;
        long currentIndex = 0;
        long trackCount = 0;
        SongInfo currentSong;
    };
    // Any thread.
    Status GetStatus() const;

    CurrentSongInfo& GetSongPanel() { return m_songPanel; }
    EListView& GetUpcomingList() { return m_list; }
    AlbumButton& GetCoverButton() { return m_cover; }
    // Waits until no refresh runs or waits (tests).
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs) { return m_loader.WaitUntilIdle(timeoutMs); }

    // CascadeWindow
    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnMaterialized() override;
    void OnVanish() override;
    bool WillAcceptFocus() override { return false; }

    // CascadeTimer: nothing to do.
    void OnTimer(unsigned long) override {}

    // SlimCLIListener::Client (listener thread)
    void OnSongChanged(const SongInfo& song) override;
    void OnPlaylistChanged(const char* change) override;
    void OnRepeatChanged(uint8_t mode) override;
    void OnShuffleChanged(uint8_t mode) override;

    // The status line's texts.
    static CascadeString RepeatText(uint8_t mode);
    static CascadeString ShuffleText(uint8_t mode);
    static long TracksRemaining(long currentIndex, long trackCount);

private:
    void LayOut();
    void FillList(const SlimConnection::PlayerStatus& status);
    void PaintPanels(CascadeBitmap& target, const CascadeRect& area);
    void PaintMessage(CascadeBitmap& target, const CascadeString& message);
    void PaintStatusLine(CascadeBitmap& target, const CascadeRect& area, const Status& status);
    void PaintServerLines(CascadeBitmap& target, const CascadeRect& area, const CascadeString& version);

    ScreenContext m_context;

    // Images and layout, made at the first showing (UI thread).
    CascadeBitmap m_coverPanel, m_songPanelBitmap, m_upcomingPanel, m_headerBitmap, m_titleBitmap;
    CascadeString m_noCoverPath, m_radioCoverPath;
    CascadeFont m_statusFont, m_textFont;
    CascadeRect m_statusRect, m_songRect, m_upcomingRect, m_coverBackdropRect, m_headerRect, m_titleRect, m_spareRect;
    bool m_laidOut = false;

    // What the screen shows from the server, written by the listener and
    // loader threads, read by OnPaint.
    struct Data {
        CascadeString message;
        CascadeString version;  // fetched once, then kept
        Status status;
    };
    mutable std::mutex m_dataLock;
    Data m_data;

    // Status reads run on the listener and the loader threads at once; the
    // list and the status take the answer of the read that began
    // last. m_fillLock is held while they are refilled, never across a request.
    std::atomic<uint64_t> m_readsBegun{0};
    std::mutex m_fillLock;
    uint64_t m_readShown = 0;

    AlbumButton m_cover;
    CurrentSongInfo m_songPanel;
    EListView m_list;
    ListenerRegistration m_registration{*this};
    ScreenLoader m_loader{"nowplaying"};  // last: joined before the members its work uses die
};

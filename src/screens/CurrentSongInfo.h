#pragma once

#include "platform/CascadeColor.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeMutex.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeWindow.h"
#include "screens/ScreenContext.h"
#include "server/SongInfo.h"
#include "ui/AlbumButton.h"
#include "ui/ListenerRegistration.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// The current-song panel of the Now Playing screen, the screen saver and the
// mini panel: title, artist, album and year, a progress bar with the time,
// genre and bit rate, optionally the cover and the player's state.
//
// Threads: the owner calls the setters, StartUpdate and StopUpdate on the UI
// thread; OnPaint runs there. The update thread ("song-info") asks the server
// for the status once at start and then every 10 s for a stream, and
// recomputes the time once a second; listener callbacks arrive on the
// listener thread. The song and the time fields sit under m_lock, never held
// across a server request. StopUpdate does not wait for the thread (it may
// be inside a slow request): the thread ends by itself, and StartUpdate
// picks it up again if it has not.
class CurrentSongInfo : public CascadeWindow, public CascadeThread, public SlimCLIListener::Client {
public:
    CurrentSongInfo();
    ~CurrentSongInfo() override;  // stops and waits for the update thread

    // UI thread, before the first StartUpdate.
    void Attach(const ScreenContext& context);

    // Registers with the listener and starts (or keeps) the update thread.
    void StartUpdate();
    // Unregisters and tells the update thread to end; returns at once.
    void StopUpdate();
    bool IsUpdating() const;

    // Update thread (and tests): re-reads the status and takes a changed song.
    void UpdateSongInfo();
    // Update thread (and tests): recomputes the time text and progress
    // while the player plays; redraws the bar and the bottom line.
    void UpdateSongTime();

    // SlimCLIListener::Client (listener thread; any thread for tests)
    void OnSongChanged(const SongInfo& song) override;
    void OnPlaylistChanged(const char*) override {}
    void OnRepeatChanged(uint8_t) override {}
    void OnShuffleChanged(uint8_t) override {}

    // UI thread; take effect at the next layout (first paint).
    void ShowCoverArt(bool show) { m_showCover = show; }
    void SetCompact(bool compact) { m_compact = compact; }
    void ShowPlayerState(bool show) { m_showPlayerState = show; }
    void SetAutoRedraw(bool autoRedraw) { m_autoRedraw = autoRedraw; }
    void SetBackgroundColor(const CascadeColor& color) { m_background = color; }
    // Forgets the layout so the next paint lays out again (new size or options).
    void Relayout() { m_laidOut = false; }

    // A copy of the song shown. Any thread.
    SongInfo GetSong() const;
    uint32_t GetTickCount() const { return m_ticks.load(); }

    bool WillAcceptFocus() override { return false; }
    void OnPaint(CascadeBitmap& target) override;

protected:
    void ThreadProc() override;

private:
    void Layout();
    void RedrawTimeArea();
    bool ShouldAutoRedraw() const;
    void PaintProgressBar(CascadeBitmap& target, const SongInfo& song, uint32_t playerState);
    void LoadCover(const SongInfo& song);

    ScreenContext m_context;  // UI thread writes before the thread starts

    // The song with its time fields, shared by the update, listener and UI threads.
    mutable CascadeMutex m_lock;
    SongInfo m_song;

    CascadeColor m_background{0x00000000u};
    CascadeColor m_secondColor{0x000000FFu};
    // Layout (UI thread, at the first paint).
    CascadeRect m_coverRect, m_titleRect, m_artistRect, m_albumRect, m_spare1, m_spare2, m_barRect, m_bottomRect;
    std::mutex m_layoutLock;  // the two rectangles the update thread redraws
    CascadeFont m_titleFont, m_artistFont, m_infoFont, m_barFont;
    CascadeString m_noCoverPath, m_radioCoverPath;
    std::atomic<uint32_t> m_ticks{0};
    AlbumButton m_cover;

    std::atomic<bool> m_showCover{false};
    std::atomic<bool> m_laidOut{false};
    std::atomic<bool> m_autoRedraw{true};
    std::atomic<bool> m_compact{false};
    std::atomic<bool> m_showPlayerState{false};

    // The update thread's run flag and its wake-up, for an interruptible
    // one-second sleep.
    mutable std::mutex m_runLock;
    std::condition_variable m_runChanged;
    bool m_run = false;
    bool m_threadAlive = false;

    ListenerRegistration m_registration{*this};
};

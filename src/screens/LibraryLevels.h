#pragma once

#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "screens/ScreenContext.h"
#include "ui/EListView.h"
#include "ui/ListPaging.h"
#include "ui/ScreenLoader.h"

#include <array>
#include <atomic>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The levels of the library as a browsing window shows them: genres,
// artists, albums, tracks and the current playlist, each a list paged from
// the server with an "All" row on top (not for the playlist). A level's
// selection narrows the levels below it. The library window uses all five,
// the filter dialog the first two.
enum class LibraryLevel { kGenre = 0, kArtist, kAlbum, kTrack, kPlaylist };

// The lists of a browsing window and everything that fills them: page loads
// on the window's loader thread, the paging and row keys, the alphabet jumps
// over the server's start-letter search, and the debounced reload of the
// levels below a changed selection.
//
// Threads: the UI thread makes requests (keys, timer ticks) and paints; one
// loader thread runs every page load, reload and jump in order, so the UI
// thread never waits on the server; a listener thread may ask for a page.
// What the lists show is mirrored in m_data (pages, counts, labels and the
// rows' cells) under m_lock, which is never held across a server request.
// Lock order: m_lock, then a list's own lock.
class LibraryLevels {
public:
    static constexpr int kLevelCount = 5;
    // Timer ticks (of 250 ms) without keys before the levels below a changed
    // selection reload: about 1.25 s.
    static constexpr int kReloadTicks = 5;
    // For RequestPage: select the new page's last row.
    static constexpr int kLastRow = INT_MAX;
    static constexpr int kKeepSelection = -1;

    // `deepest`: the last level shown; `playlist`: the current playlist too.
    LibraryLevels(const char* loaderName, LibraryLevel deepest, bool playlist);
    ~LibraryLevels();  // Join
    LibraryLevels(const LibraryLevels&) = delete;
    LibraryLevels& operator=(const LibraryLevels&) = delete;

    // UI thread, before the first showing. `owner` is the window whose page
    // texts are redrawn after a load.
    void Attach(const ScreenContext& context, CascadeWindow* owner);
    const ScreenContext& GetContext() const { return m_context; }

    bool Has(LibraryLevel level) const;
    EListView& List(LibraryLevel level) { return m_lists[Index(level)]; }
    // The level whose list has the focus. Any thread.
    std::optional<LibraryLevel> FocusedLevel() const;
    // Columns, font, row height and colours of one list. UI thread, once.
    void SetUpList(LibraryLevel level, const CascadeFont& font, int rowHeight);
    // Where the level's page text is drawn, in the owner's coordinates.
    void SetPageTextArea(LibraryLevel level, const CascadeRect& area);
    CascadeRect GetPageTextArea(LibraryLevel level) const;
    // "Genre", "Artist", "Album", "Track", "Playlist".
    static const char* LevelName(LibraryLevel level);
    // "All (%ld %s%s)": the count, the level's name, "s" unless the count is 1.
    static CascadeString AllRowText(unsigned long count, LibraryLevel level);

    struct PageState {
        unsigned long page = 0;       // 0 before the first load
        unsigned long pageCount = 0;  // 0 before the first load
        unsigned long total = 0;      // the server's count of entries
        CascadeString label;          // "Page %i of %i"
    };
    // Any thread.
    PageState GetPageState(LibraryLevel level) const;
    // Cell `column` of the selected row ("" when none).
    CascadeString SelectedCell(LibraryLevel level, std::size_t column) const;
    // The id of the selected row (cell 1) as a number: 0 for the "All" row,
    // for an empty list and for a level not shown.
    unsigned long SelectedId(LibraryLevel level) const;
    int SelectedRow(LibraryLevel level) const;
    std::size_t RowCount(LibraryLevel level) const;
    // The rows' first cells as the list shows them (tests).
    std::vector<CascadeString> RowNames(LibraryLevel level) const;

    // Pages and counts back to 0, nothing pending. UI thread, when shown.
    void Reset();
    // Loads `page` of `level` on the loader (0: the last page; past the
    // last: page 1) and then selects `selectAfter` (clamped to the rows), or
    // keeps the row index selected. Requests for a level that are still
    // waiting merge into one load of the newest page. Any thread.
    void RequestPage(LibraryLevel level, long page, int selectAfter = kKeepSelection);

    // The reload of the levels below a changed selection: `request` is the
    // level whose selection changed ("All" reloads every level from page 1).
    // A countdown of kReloadTicks starts it after the user pauses.
    void SetReloadRequest(const char* request);
    CascadeString GetReloadRequest() const;
    void SetCountdown(int ticks);
    int GetCountdown() const { return m_countdown.load(); }
    // Drops a pending reload (the countdown stops; the request stays).
    void CancelPendingReload() { m_countdown = -1; }
    // Every 250 ms on the UI thread: a countdown at 0 starts the reload on
    // the loader; then a countdown that is not negative counts down.
    void Tick();
    // Starts the reload now (on the loader).
    void StartReload();

    // Keys (UI thread), by the rules the library and the filter share.
    // Zoom In / Zoom Out: the previous or next page (-1 / +1).
    void FlipPage(LibraryLevel level, int delta);
    // Up / Down, with paging at the ends unless wrap-around is on.
    void MoveRow(LibraryLevel level, bool down);
    // Next / Previous: the alphabet jump on the genre, artist or album list.
    void Jump(LibraryLevel level, bool forward);

    // The start-letter of a name with the server's ignored articles.
    char GetStartLetter(const char* name) const;

    // Stops the running load at its next step and drops the waiting ones;
    // returns at once.
    void StopLoading();
    // StopLoading, then waits for the loader thread to end (the owner's
    // destructor).
    void Join();
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs);
    // Server requests the last jump made (letters asked), for the log and
    // the benchmarks.
    int LastJumpSearches() const { return m_lastJumpSearches.load(); }

private:
    static int Index(LibraryLevel level) { return static_cast<int>(level); }
    struct LevelData {
        ListPaging paging;
        bool loaded = false;
        unsigned long total = 0;
        CascadeString label;
        std::vector<std::vector<CascadeString>> rows;  // cells, as in the list
        // A page asked for and not loaded yet.
        bool queued = false;
        long wantedPage = 1;
        int selectAfter = kKeepSelection;
    };
    // Loader thread: loads one page of one level and shows it.
    void LoadData(LibraryLevel level, long page, int selectAfter);
    void RunReload(ScreenLoader& loader);
    void RunJump(LibraryLevel level, bool forward, ScreenLoader& loader);
    void SelectRowZero(LibraryLevel level);
    bool AfterRowMove(LibraryLevel level);
    // The genre, artist and album levels narrow a level shown below them.
    bool HasDependents(LibraryLevel level) const;
    void Start(const char* command, ScreenLoader::Work work, ScreenLoader::PleaseWait pleaseWait);

    const LibraryLevel m_deepest;
    const bool m_playlist;
    ScreenContext m_context;
    CascadeWindow* m_owner = nullptr;
    std::array<CascadeRect, kLevelCount> m_pageTextAreas;

    mutable std::mutex m_lock;  // guards m_data and m_reload
    std::array<LevelData, kLevelCount> m_data;
    CascadeString m_reload;
    std::atomic<int> m_countdown{-1};
    std::atomic<int> m_lastJumpSearches{0};

    std::array<EListView, kLevelCount> m_lists;
    std::string m_loaderName;
    std::unique_ptr<ScreenLoader> m_loader;  // made by Attach; joined before the lists die
};

#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "screens/ManagePlaylistDialog.h"
#include "screens/ScreenContext.h"
#include "server/BrowseEntryList.h"
#include "server/SlimCLIListener.h"
#include "ui/EListView.h"
#include "ui/FocusKeeper.h"
#include "ui/ListPaging.h"
#include "ui/ListenerRegistration.h"
#include "ui/ScreenLoader.h"

#include <array>
#include <mutex>
#include <vector>

// The server's music folders beside the current playlist. The left list
// shows one page of the current folder (sub-folders, songs, playlist files);
// Right opens a folder, Left goes back up to the page and row the folder was
// opened from; Next and Previous page on to the next or previous initial
// letter. The right list pages through the current playlist and follows the
// listener's playlist changes. Select opens the action dialog; what it
// chooses is sent through the application's command queue.
//
// A folder is named by its hierarchy: the ids of the folders from the top
// down, joined by "/" ("" is the top). A child's hierarchy is its parent's
// plus the last "/" part of the child's entry id, so browsing works from the
// entry ids alone, whether or not the server also sends the full hierarchy.
//
// Threads: the UI thread shows, hides and keys it. Folder and playlist pages
// are read on the window's loader thread ("folders"), one after another; the
// listener thread only queues playlist reloads. The loader fills the lists
// (which lock themselves) and keeps the paging, the folder and the history
// under m_dataLock, never held across a request.
class BrowseFoldersWindow : public CascadeWindow,
                            public SlimCLIListener::Client,
                            public ManagePlaylistDialog::Client {
public:
    // Folder list columns, then playlist list columns.
    enum FolderColumn : std::size_t { kItem, kId, kUrl, kEntryType, kArtist };
    enum PlaylistColumn : std::size_t { kTitle, kPlaylistArtist, kIndex };
    // Where the selection goes once a page is loaded.
    static constexpr int kKeepSelection = -1;
    static constexpr int kLastRow = -2;

    BrowseFoldersWindow();
    ~BrowseFoldersWindow() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);

    // What the window shows now. Any thread.
    CascadeString GetFolderId() const;
    CascadeString GetLocation() const;
    unsigned short GetFolderPage() const;
    unsigned short GetFolderPageCount() const;
    unsigned short GetPlaylistPage() const;
    CascadeString GetFolderLabel() const;
    std::size_t GetHistoryDepth() const;
    unsigned long GetRowsPerPage() const;
    EListView& GetFolderList() { return m_folders; }
    EListView& GetPlaylistList() { return m_playlist; }
    ManagePlaylistDialog& GetDialog() { return m_dialog; }
    bool IsArtistShown() const;
    // Waits until no load runs or waits (tests).
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs) { return m_loader.WaitUntilIdle(timeoutMs); }

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnMaterialized() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;

    // SlimCLIListener::Client (listener thread): playlist changes other than
    // "jump" and shuffle changes reload the playlist's first page.
    void OnSongChanged(const SongInfo&) override {}
    void OnPlaylistChanged(const char* change) override;
    void OnRepeatChanged(uint8_t) override {}
    void OnShuffleChanged(uint8_t mode) override;

    // ManagePlaylistDialog::Client (UI thread).
    void OnManagePlaylistCommand(const CascadeString& command) override;

private:
    // The row a command applies to, taken on the UI thread when it is given.
    struct Target {
        bool fromPlaylist = false;
        CascadeString id, url, type, artist, index;
        CascadeString folder;  // the folder shown when the row was taken
    };
    // One folder page as the server gave it.
    struct FolderPage {
        CascadeString folderId;
        unsigned long page = 1;
        unsigned long total = 0;
        CascadeString location;
        BrowseEntryList entries;
    };
    struct HistoryStep {
        unsigned long page;
        int row;
    };

    void LoadBitmaps();
    void LayOut();
    void SetUpFolderList();
    void SetUpPlaylistList();

    // Loader thread.
    FolderPage FetchFolder(const CascadeString& folderId, unsigned long page);
    void ShowFolder(FolderPage& page, int selection);
    void LoadFolders(const CascadeString& folderId, long page, int selection);
    void LoadFolderStep(int step, int selection);
    void LoadPlaylist(long page, int step, int selection);
    void Open(const Target& target);
    void Back();
    void NextLetter();
    void PreviousLetter();
    // Any thread: queues work on the loader.
    void Queue(const char* command, ScreenLoader::Work work);

    // UI thread.
    Target TargetOf(const EListView& list) const;
    void RunCommand(const CascadeString& command, const Target& target);
    void SendToServer(const char* name, std::function<void(SlimConnection&)> call);
    void OpenDialog(const Target& target);
    bool FolderKey(unsigned long key);
    bool PlaylistKey(unsigned long key);
    void MoveInList(EListView& list, bool playlist, unsigned long key);

    ScreenContext m_context;
    FocusKeeper m_focus;
    Target m_dialogTarget;  // the row the action dialog was opened on
    ManagePlaylistDialog m_dialog;
    // title, the two headers, the two row icons
    std::array<CascadeBitmap, 5> m_bitmaps;
    CascadeBitmap m_folderPanel, m_playlistPanel;
    CascadeRect m_titleRect;
    CascadeFont m_itemFont, m_labelFont;
    bool m_bitmapsLoaded = false;
    bool m_laidOut = false;

    // What the loader learnt, read by OnPaint, the keys and the getters.
    struct Data {
        ListPaging folderPaging, playlistPaging;
        CascadeString folderLabel = "Page 1 of 1", playlistLabel = "Page 1 of 1";
        CascadeString folderId, location;
        bool folderShown = false;  // a folder page is on the list
        bool artistShown = false, playlistArtistShown = false;  // applied to the lists' columns by OnPaint
        std::vector<HistoryStep> history;  // the pages and rows the shown folders were opened from
    };
    mutable std::mutex m_dataLock;
    Data m_data;

    EListView m_folders, m_playlist;
    ListenerRegistration m_registration{*this};
    ScreenLoader m_loader{"folders"};  // last: joined before the members its work uses die
};

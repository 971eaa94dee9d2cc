#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "screens/DialogCoverView.h"
#include "screens/ManagePlaylistDialog.h"
#include "screens/ScreenContext.h"
#include "ui/EButton.h"
#include "ui/EListView.h"
#include "ui/FocusKeeper.h"
#include "ui/ListPaging.h"
#include "ui/ScreenLoader.h"

#include <array>
#include <mutex>

// One album: its cover, its tracks page by page, and buttons to play the
// album, add it or insert it after the playing song. The choice goes back
// through ManagePlaylistDialog::Client, so the opener handles it like a
// choice made in the action dialog.
//
// Threads: the UI thread shows, hides and keys it. Track pages are read on
// the dialog's loader thread ("albuminfo"), which fills the list and stores
// the paging under m_dataLock, then redraws.
class AlbumInfoDialog : public CascadeWindow {
public:
    enum Button { kPlay, kAdd, kInsert, kButtonCount };

    AlbumInfoDialog();
    ~AlbumInfoDialog() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);

    // Shows the album `albumId` (decimal text) titled `title` from page 1;
    // the info dialog background's size, centred, plane 2. `client` may be null.
    void ShowDialog(const char* title, const char* albumId, ManagePlaylistDialog::Client* client);

    // Queues the load of track page `page` (0: the last page; past the last,
    // or while the count is unknown: page 1). Any thread; returns at once.
    void LoadTracks(unsigned short page);

    // What the dialog shows now. Any thread.
    unsigned short GetPage() const;
    unsigned short GetPageCount() const;
    CascadeString GetPageLabel() const;
    unsigned long GetRowsPerPage() const;
    const CascadeString& GetCommand() const { return m_command; }
    EButton& GetButton(Button button) { return m_buttons[button]; }
    EListView& GetList() { return m_list; }
    AlbumButton& GetCoverView() { return m_cover; }
    // Waits until no load runs or waits (tests).
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs) { return m_loader.WaitUntilIdle(timeoutMs); }

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnMaterialized() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;

private:
    void LoadBitmaps();
    void LayOut();
    // Loader thread: loads `page`, or with `step` (+1/-1) the page next to
    // the one shown when the load runs.
    void Load(long page, int step);

    ScreenContext m_context;
    FocusKeeper m_focus;
    ManagePlaylistDialog::Client* m_client = nullptr;
    std::array<CascadeBitmap, 4> m_bitmaps;  // title, then the faces of play, add, insert
    CascadeRect m_titleRect, m_labelRect, m_albumTitleRect;
    CascadeBitmap m_panel;
    CascadeFont m_itemFont, m_labelFont, m_titleFont;
    std::array<EButton, kButtonCount> m_buttons;
    CascadeString m_command;
    bool m_bitmapsLoaded = false;
    bool m_laidOut = false;

    // The album shown and its paging, written by the loader thread, read by
    // OnPaint and the getters.
    struct Data {
        CascadeString title;
        CascadeString albumId;
        ListPaging paging;
        CascadeString label = "Page 1 of 1";
    };
    mutable std::mutex m_dataLock;
    Data m_data;

    DialogCoverView m_cover;
    InfoTableView m_list;
    ScreenLoader m_loader{"albuminfo"};  // last: joined before the members its work uses die
};

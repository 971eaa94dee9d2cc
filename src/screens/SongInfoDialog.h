#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "screens/DialogCoverView.h"
#include "screens/ManagePlaylistDialog.h"
#include "screens/ScreenContext.h"
#include "server/SongInfo.h"
#include "ui/EButton.h"
#include "ui/EListView.h"
#include "ui/FocusKeeper.h"
#include "ui/ScreenLoader.h"

#include <array>
#include <mutex>
#include <vector>

// Everything the server knows about one track: a table of fields and values
// on at most two pages beside the track's cover, with buttons to play the
// track, add it or insert it after the playing song. The choice goes back
// through ManagePlaylistDialog::Client, so the opener handles it like a
// choice made in the action dialog.
//
// Threads: the UI thread shows, hides and keys it. The track is read on the
// dialog's loader thread ("songinfo"), which fills the table and stores the
// page under m_dataLock, then redraws.
class SongInfoDialog : public CascadeWindow {
public:
    // kPlayOnly shows only the play button; any other value play, add and insert.
    enum DialogType : int { kPlayAddInsert = 0, kPlayOnly = 1 };
    enum Button { kPlay, kAdd, kInsert, kButtonCount };

    struct Field {
        const char* label;  // "Title:", "Artist:", ...
        CascadeString value;
    };

    SongInfoDialog();
    ~SongInfoDialog() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);

    // Shows the track `trackId` (decimal text) from page 1; the info dialog
    // background's size, centred, plane 2. `client` may be null.
    void ShowDialog(const char* trackId, DialogType type, ManagePlaylistDialog::Client* client);

    // Queues a read of the track and shows `page` (3 and above: 1; 0: 2).
    // Any thread; returns at once.
    void LoadSongInfo(unsigned short page);

    // The fields a song shows, in table order, each only under its condition.
    static std::vector<Field> FieldsOf(const SongInfo& song);

    // What the dialog shows now. Any thread.
    unsigned short GetPage() const;
    unsigned short GetPageCount() const;
    CascadeString GetPageLabel() const;
    const CascadeString& GetCommand() const { return m_command; }
    EButton& GetButton(Button button) { return m_buttons[button]; }
    EListView& GetList() { return m_list; }
    AlbumButton& GetCoverView() { return m_cover; }
    unsigned long GetRowsPerPage() const;
    // Waits until no read runs or waits (tests).
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
    // Loader thread: reads the track and shows the page `page` resolves to;
    // `step` (+1/-1) instead moves from the page shown when the read runs.
    void Load(long page, int step);
    std::vector<Button> ShownButtons() const;

    ScreenContext m_context;
    FocusKeeper m_focus;
    ManagePlaylistDialog::Client* m_client = nullptr;
    std::array<CascadeBitmap, 4> m_bitmaps;  // title, then the faces of play, add, insert
    CascadeRect m_titleRect, m_panelRect, m_labelRect;
    CascadeBitmap m_panel;
    CascadeFont m_labelFont;
    std::array<EButton, kButtonCount> m_buttons;
    DialogType m_type = kPlayAddInsert;
    CascadeString m_command;
    bool m_bitmapsLoaded = false;
    bool m_laidOut = false;

    // The track shown and its page, written by the loader thread, read by
    // OnPaint and the getters.
    struct Data {
        CascadeString trackId;
        unsigned short page = 1;
        unsigned short pageCount = 1;
        CascadeString label = "Page 1 of 1";
        SongInfo song;
    };
    mutable std::mutex m_dataLock;
    Data m_data;

    DialogCoverView m_cover;
    InfoTableView m_list;
    ScreenLoader m_loader{"songinfo"};  // last: joined before the members its work uses die
};

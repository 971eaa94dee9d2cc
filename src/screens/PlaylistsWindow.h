#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "screens/ScreenContext.h"
#include "ui/EButton.h"
#include "ui/EListView.h"
#include "ui/FocusKeeper.h"
#include "ui/ListPaging.h"
#include "ui/ScreenLoader.h"

#include <array>
#include <mutex>

// The server's saved playlists, a page at a time, with buttons to add the
// chosen one to the current playlist or play it. Every page change asks the
// server again. Select on a button closes the window and tells the client
// the command and the playlist's id; Exit closes it without a word.
//
// Threads: the UI thread shows, hides and keys it. Pages are read on the
// window's loader thread ("playlists"), which fills the list and stores the
// paging under m_dataLock, then redraws.
class PlaylistsWindow : public CascadeWindow {
public:
    class Client {
    public:
        // "add" or "play", and the playlist's id. Called while the window
        // closes, after the focus went back.
        virtual void OnPlaylistsCommand(const CascadeString& command, unsigned long index) = 0;

    protected:
        ~Client() = default;
    };

    enum Button { kAdd, kPlay, kButtonCount };
    // Where the selection goes once a page is loaded.
    static constexpr int kKeepSelection = -1;
    static constexpr int kLastRow = -2;

    PlaylistsWindow();
    ~PlaylistsWindow() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);

    // The playlists background's size, centred, plane 2. `client` may be null.
    void ShowDialog(Client* client);

    // Queues the load of page `page` (0: the last page once the count is
    // known; past the last or with no count yet: page 1), keeping the
    // selected row. Any thread; returns at once.
    void LoadPlaylists(unsigned short page);

    // What the window shows now. Any thread.
    unsigned short GetPage() const;
    unsigned short GetPageCount() const;
    CascadeString GetPageLabel() const;
    unsigned long GetRowsPerPage() const;
    const CascadeString& GetCommand() const { return m_command; }
    EButton& GetButton(Button button) { return m_buttons[button]; }
    EListView& GetList() { return m_list; }
    bool IsIndexShown() const;
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
    // the one shown when the load runs; then selects `selection`.
    void Load(long page, int step, int selection);
    void RequestPage(long page, int step, int selection);
    void MoveInList(unsigned long key);

    ScreenContext m_context;
    FocusKeeper m_focus;
    Client* m_client = nullptr;
    std::array<CascadeBitmap, 3> m_bitmaps;  // title, then the faces of add and play
    CascadeBitmap m_panel;
    CascadeRect m_titleRect;
    CascadeFont m_itemFont, m_labelFont;
    std::array<EButton, kButtonCount> m_buttons;
    CascadeString m_command;
    bool m_bitmapsLoaded = false;
    bool m_laidOut = false;

    // The paging, written by the loader thread, read by OnPaint and the getters.
    struct Data {
        ListPaging paging;
        CascadeString label = "Page 1 of 1";
    };
    mutable std::mutex m_dataLock;
    Data m_data;

    EListView m_list;
    ScreenLoader m_loader{"playlists"};  // last: joined before the members its work uses die
};

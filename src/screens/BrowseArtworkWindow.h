#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "platform/CascadeWormhole.h"
#include "screens/AlbumInfoDialog.h"
#include "screens/FilterDialog.h"
#include "screens/ManagePlaylistDialog.h"
#include "screens/ScreenContext.h"
#include "ui/AlbumButton.h"
#include "ui/CoverCache.h"
#include "ui/FocusKeeper.h"
#include "ui/ListPaging.h"
#include "ui/ScreenLoader.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// All albums as a grid of covers, a page at a time (3 x 6, or 2 x 4 with
// "-LargeCoverArt"), optionally narrowed by the filter dialog's genre and
// artist. Select or Options on a cover opens the album's tracks, Play plays
// the album; Next and Previous jump a tenth of the pages, the zoom keys one
// page; the arrows move between covers, and empty cells refuse the focus.
//
// A page's titles come first, then its covers one after another, newest
// page first: a page change abandons the covers still to come. Covers once
// fetched stay in the window's cover cache (see CoverCache for its bound),
// so paging back shows them without asking the server again.
//
// Threads: the UI thread shows, hides and keys it and alone touches the
// grid's tiles as windows. The loader thread ("artwork") reads the page and
// posts it to the window's wormhole; the UI thread puts the titles on the
// tiles and queues the cover pass, which the loader runs tile by tile
// through the tiles' own thread-safe loading. The page, the filter and the
// paging sit under m_dataLock, never held across a request.
class BrowseArtworkWindow : public CascadeWindow, public FilterDialog::Client, public ManagePlaylistDialog::Client {
public:
    BrowseArtworkWindow();
    ~BrowseArtworkWindow() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);

    // Queues the load of `page` by the page rule (0: the last page; past
    // the last, or before any count is known: page 1). UI thread.
    void LoadAlbums(long page);

    // What the window shows now. Any thread (the tiles: UI thread).
    unsigned short GetPage() const;
    unsigned short GetPageCount() const;
    CascadeString GetStatusText() const;
    std::size_t GetButtonsPerPage() const { return m_buttons.size(); }
    AlbumButton* GetButton(std::size_t index) const;
    // Tiles of the current page whose cover (or no-cover picture) is shown.
    std::size_t CountCoversShown() const;
    bool IsLoadingCovers() const { return m_loadingCovers.load(); }
    CoverCache& GetCoverCache() { return m_cache; }
    AlbumInfoDialog& GetAlbumInfo() { return m_albumInfo; }
    FilterDialog& GetFilter() { return m_filter; }
    // Waits until no load runs or waits (tests).
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs) { return m_loader.WaitUntilIdle(timeoutMs); }

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnMaterialized() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;

    // FilterDialog::Client (UI thread)
    void OnFilterResult(unsigned long genreId, const char* genre, unsigned long artistId, const char* artist) override;
    // ManagePlaylistDialog::Client (UI thread): the album info dialog's choice.
    void OnManagePlaylistCommand(const CascadeString& command) override;

private:
    struct Cell {
        CascadeString name, id, coverUrl;  // coverUrl: a ready-made address, or "" to ask the album's first track
    };
    // The message the loader posts when a page has arrived.
    static constexpr uint32_t kPageLoaded = 1;

    void FirstShowing();
    void MakeGrid();
    void DestroyGrid();
    // Loader thread.
    void FetchPage(long page, uint64_t generation);
    void PassCovers(ScreenLoader& loader, uint64_t generation);
    // UI thread.
    void OnMessage(const CascadeMessage& message);
    void ApplyPage(uint64_t generation);
    void FixFocus(std::size_t filled);
    AlbumButton* FocusedButton() const;
    void RunAlbumCommand(const CascadeString& command);
    void PaintStrip(CascadeBitmap& target, unsigned long page, unsigned long count);

    ScreenContext m_context;
    FocusKeeper m_focus;
    CascadeWormhole m_wormhole;
    CascadeBitmap m_title, m_strip;
    CascadeRect m_titleRect, m_stripRect, m_statusRect;
    CascadeFont m_font;
    CascadeString m_noCoverPath;
    bool m_firstShown = false;

    // The page shown and the filter, written by the loader and the keys.
    struct Data {
        ListPaging paging;
        std::vector<Cell> cells;
        unsigned long genreId = 0, artistId = 0;
        CascadeString genre = "All", artist = "All";
    };
    mutable std::mutex m_dataLock;
    Data m_data;

    std::atomic<uint64_t> m_generation{0};  // one more for every page asked for and every vanishing
    std::atomic<bool> m_loadingCovers{false};
    CoverCache m_cache;
    AlbumInfoDialog m_albumInfo;
    FilterDialog m_filter;
    std::vector<std::unique_ptr<AlbumButton>> m_buttons;  // while shown; UI thread (the pass reads them)
    ScreenLoader m_loader{"artwork"};  // last: joined before the members its work uses die
};

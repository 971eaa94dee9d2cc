#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "radio/InternetRadio.h"
#include "radio/OPMLNode.h"
#include "screens/ScreenContext.h"
#include "server/BrowseEntryList.h"
#include "ui/EButton.h"
#include "ui/EListView.h"
#include "ui/FocusKeeper.h"
#include "ui/ListPaging.h"
#include "ui/ScreenLoader.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The radio browser: a top menu of eight sources, the genre and station
// lists of the directories and the outline trees of the OPML sources, paged,
// with the path taken as a breadcrumb and a history for going back, and
// three buttons: add the selected station to the Favorites (remove it there),
// add it to the server's playlist, play it at once.
//
// Threads. Keys, painting and showing run on the UI thread. Every fetch (a
// directory, an outline opened, a Favorites edit and its save) runs on the
// window's loader thread with the please-wait window up; paging and Back
// only re-show lists the window keeps, so they run on the UI thread and
// never fetch. While a load runs the window refuses every key but Exit, so
// the browsing state (`m_browse`) has one user at a time: the loader while
// it is busy, the UI thread otherwise. What OnPaint reads of it (page label,
// breadcrumb) is copied under `m_shownLock`. Play and Add go to the client,
// which sends them to the server from the application's command thread.
class IRadioWindow : public CascadeWindow {
public:
    class Client {
    public:
        // `command` is "play" (replace the server's playlist with `url`) or
        // "add" (append it). UI thread; must return at once.
        virtual void OnIRadioCommand(const CascadeString& command, const CascadeString& url) = 0;

    protected:
        ~Client() = default;
    };

    enum RadioType : int {
        kTopMenu = 0,
        kShoutcast = 1,
        kShoutcastGenres = 2,
        kShoutcastRecent = 3,
        kRadioIO = 4,
        kXiph = 5,
        kXiphGenres = 6,
        kSteamcast = 7,
        kSteamcastGenres = 8,
        kSlimPicks = 9,
        kLiveMusicArchive = 10,
        kPodcasts = 11,
        kFavorites = 12,
    };

    // One step of the path taken: the opened row's "Id" and "Name", the page
    // it was on and its row within that page.
    struct GenreSelection {
        CascadeString id;
        CascadeString name;
        unsigned short page = 1;
        int16_t selected = 0;
    };

    enum Button { kAddToFavorites, kRemoveFromFavorites, kAdd, kPlay, kButtonCount };

    static constexpr const char* kNoStations = "No stations are currently available.";

    // The directories come from the environment (QUENDREL_RADIO_BASE) and the
    // Favorites file from the application directory, both read at the first
    // showing; tests give their own.
    IRadioWindow();
    explicit IRadioWindow(InternetRadio::Options options);
    // Stops a load under way (its fetch fails at once), waits for the loader,
    // then saves changed Favorites.
    ~IRadioWindow() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);
    // Centred with the size of the skin's radio background; plane 2. Each
    // showing starts at the top menu with an empty history.
    void ShowDialog(Client* client);

    // The row tag's type; `fallback` for a tag that names none.
    static RadioType TypeOfTag(const CascadeString& tag, RadioType fallback);

    // CascadeWindow
    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnMaterialized() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;
    bool WillAcceptFocus() override { return false; }

    // For tests and the please-wait window's focus.
    EListView& GetList() { return m_list; }
    EButton& GetButton(Button button) { return m_buttons[button]; }
    InternetRadio* GetRadio() { return m_radio.get(); }
    RadioType GetCurrentType() const { return m_current.load(); }
    unsigned GetCurrentPage() const { return m_page.load(); }
    bool IsFavoritesMode() const { return m_favoritesModeShown.load(); }
    CascadeString GetPageLabel() const;
    CascadeString GetBreadcrumb() const;
    bool IsLoading() const { return m_loader && m_loader->IsBusy(); }
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs) { return m_loader->WaitUntilIdle(timeoutMs); }
    // How long a Favorites message stays up after the edit (1000 ms).
    void SetMessageDelay(unsigned long ms) { m_messageDelayMs = ms; }

private:
    // The browsing state; see the class comment for who may touch it.
    struct Browse {
        RadioType chosen = kTopMenu;
        CascadeString selectionId;
        CascadeString pendingCommand;
        OPMLNode* node = nullptr;  // shown outline; owned by the radio's trees
        bool favoritesMode = false;
        std::vector<GenreSelection> history;
        std::optional<GenreSelection> lastBack;
        BrowseEntryList topMenu, shoutcastStations, shoutcastGenres, xiphStations, xiphGenres, steamcastStations,
            steamcastGenres, radioioStations;
    };

    void LoadImages();
    void LayOut();
    void EnsureRadio();

    // The loaders; UI thread while idle, loader thread while busy.
    void LoadStations(long page, RadioType type, ScreenLoader* loader = nullptr);
    void LoadOPMLStations(long page);
    BrowseEntryList* ListOf(RadioType type);
    void ShowRows(const BrowseEntryList* list, long page);
    void ShowNodeRows(long page);
    void SetShown(long page, unsigned long pageCount);
    void ClearHistory();
    void ShowTopMenu();

    // Commands.
    void Open();
    void Back();
    bool ChangePage(long delta);
    void MoveSelection(bool down);
    void StartOpen(long page);
    void StartFavorites();
    void SendToServer(const char* command);
    void RunFavorites(ScreenLoader& loader);
    void Pause(ScreenLoader& loader, unsigned long ms);
    // After a load: the favourites buttons follow the list shown. UI thread.
    void ApplyButtons();
    void AfterLoad();
    void LogShown(const char* how);
    void FocusFavoritesButton();

    CascadeString SelectedCell(std::size_t column) const;

    ScreenContext m_context;
    InternetRadio::Options m_radioOptions;
    bool m_ownOptions = false;
    std::unique_ptr<InternetRadio> m_radio;  // made at the first showing
    Client* m_client = nullptr;
    FocusKeeper m_focus;

    // Made at the first showing (UI thread).
    CascadeBitmap m_title, m_addFace, m_playFace, m_favoritesFace, m_removeFace, m_audioIcon, m_arrowIcon, m_panel;
    CascadeFont m_largeFont, m_smallFont;
    CascadeRect m_titleRect, m_panelRect, m_breadcrumbRect, m_pageRect;
    bool m_imagesLoaded = false;
    bool m_laidOut = false;

    Browse m_browse;
    ListPaging m_paging;
    std::atomic<RadioType> m_current{kTopMenu};
    std::atomic<unsigned> m_page{1};
    std::atomic<bool> m_favoritesModeShown{false};
    std::atomic<unsigned long> m_messageDelayMs{1000};

    // What OnPaint draws of the browsing state.
    mutable std::mutex m_shownLock;
    CascadeString m_pageLabel;
    CascadeString m_breadcrumb;

    EListView m_list;
    std::array<EButton, kButtonCount> m_buttons;
    // Lets tasks posted to the UI thread find out the window is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    std::unique_ptr<ScreenLoader> m_loader;  // joined first in the destructor
};

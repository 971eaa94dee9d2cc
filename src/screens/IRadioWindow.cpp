#include "screens/IRadioWindow.h"

#include "app/base/AppActivity.h"
#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "platform/CascadeTextFlags.h"
#include "platform/CascadeThread.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr CascadeColor kPanelColor{0x000000A5u};
constexpr CascadeColor kShadow{0x000000FFu};
constexpr CascadeColor kWhite{0xFFFFFFFFu};
constexpr CascadeColor kGrey{0x808080FFu};
constexpr CascadePoint kTitleAt{18, 9};
constexpr CascadeRect kPanel{25, 63, 538, 302};
constexpr CascadeRect kBreadcrumb{40, 45, 509, 25};
constexpr CascadeRect kPageLabel{267, 18, 310, 25};
constexpr CascadeRect kListRect{40, 74, 509, 295};
constexpr int kButtonsFromBottom = 75;
constexpr int kButtonGap = 8;
constexpr int kTitleGap = 4;
constexpr int kButtonX[IRadioWindow::kButtonCount] = {25, 25, 209, 393};

enum Column : std::size_t { kName = 0, kId = 1, kTag = 2 };

struct TagType {
    const char* tag;
    IRadioWindow::RadioType type;
};
constexpr TagType kTags[] = {
    {"shoutcast", IRadioWindow::kShoutcast},
    {"shoutcastgenres", IRadioWindow::kShoutcastGenres},
    {"shoutcastrecent", IRadioWindow::kShoutcastRecent},
    {"radioio", IRadioWindow::kRadioIO},
    {"xiph", IRadioWindow::kXiph},
    {"xiphgenres", IRadioWindow::kXiphGenres},
    {"steamcast", IRadioWindow::kSteamcast},
    {"steamcastgenres", IRadioWindow::kSteamcastGenres},
    {"slimpicks", IRadioWindow::kSlimPicks},
    {"livemusicarchive", IRadioWindow::kLiveMusicArchive},
    {"podcasts", IRadioWindow::kPodcasts},
    {"favorites", IRadioWindow::kFavorites},
};

// The top menu: name, then the tag that opens it.
constexpr const char* kTopMenuRows[][2] = {
    {"Shoutcast Directory", "shoutcastgenres"}, {"radioio Directory", "radioio"},
    {"Xiph Directory", "xiphgenres"},           {"Steamcast Directory", "steamcastgenres"},
    {"Slim Devices Picks", "slimpicks"},        {"Live Music Archive", "livemusicarchive"},
    {"Podcasts", "podcasts"},                   {"Favorites", "favorites"},
};

std::unique_ptr<BrowseEntry> Entry(const char* name, const char* type) {
    auto entry = std::make_unique<BrowseEntry>();
    entry->name = name;
    entry->type = type;
    return entry;
}

// A row tag holding a child index; -1 when it is none.
long ChildIndex(const CascadeString& tag) {
    if (tag.IsEmpty()) return -1;
    char* end = nullptr;
    const long index = std::strtol(tag.c_str(), &end, 10);
    return end && *end == '\0' && index >= 0 ? index : -1;
}

}  // namespace

IRadioWindow::IRadioWindow() : m_loader(std::make_unique<ScreenLoader>("iradio")) {}

IRadioWindow::IRadioWindow(InternetRadio::Options options)
    : m_radioOptions(std::move(options)), m_ownOptions(true), m_loader(std::make_unique<ScreenLoader>("iradio")) {}

IRadioWindow::~IRadioWindow() {
    m_alive.reset();
    // A fetch under way fails at once, so the loader ends without waiting
    // out the network; the radio then saves changed Favorites as it dies.
    if (m_radio) m_radio->AbortFetches();
    m_loader->Join();
}

void IRadioWindow::Attach(const ScreenContext& context) {
    m_context = context;
    // The please-wait messages go to the application. The window that had
    // the focus when the please-wait window opened (the list or a button)
    // gets it back, so no window is named for it.
    if (!m_loader->IsBusy()) m_loader = std::make_unique<ScreenLoader>("iradio", context.app, AppServices::kNoWindow);
}

IRadioWindow::RadioType IRadioWindow::TypeOfTag(const CascadeString& tag, RadioType fallback) {
    for (const TagType& entry : kTags)
        if (tag == entry.tag) return entry.type;
    return fallback;
}

// The directories and the Favorites file are read from the environment and
// the application directory only now, once both are settled.
void IRadioWindow::EnsureRadio() {
    if (m_radio) return;
    m_radio = m_ownOptions ? std::make_unique<InternetRadio>(m_radioOptions) : std::make_unique<InternetRadio>();
}

void IRadioWindow::LoadImages() {
    if (m_imagesLoaded) return;
    DialogImages::Load(m_title, "images/title_internetradio.png");
    DialogImages::Load(m_addFace, "images/text_add.png");
    DialogImages::Load(m_playFace, "images/text_play.png");
    DialogImages::Load(m_favoritesFace, "images/text_addtofavorites.png");
    DialogImages::Load(m_removeFace, "images/text_remove.png");
    DialogImages::Load(m_audioIcon, "images/icon_audio.png");
    DialogImages::Load(m_arrowIcon, "images/icon_rightarrow.png");
    m_largeFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 22 : 18);
    m_smallFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 16 : 14);
    m_imagesLoaded = true;
}

void IRadioWindow::ShowDialog(Client* client) {
    m_client = client;
    EnsureRadio();
    LoadImages();
    SetRectAbsolute(
        DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetInternetRadioBackground()));
    Materialize(2);
}

void IRadioWindow::LayOut() {
    m_titleRect = DialogImages::PlaceAt(m_title, kTitleAt);
    // A skin whose title image reaches below the breadcrumb's line moves the
    // breadcrumb, the panel and the list down by the difference, so nothing
    // is drawn over the title.
    const int shift = std::max(0, m_titleRect.Bottom() + kTitleGap - kBreadcrumb.y);
    if (m_panel.Create(kPanel.Dims(), CascadeBitmap::kRamVideo)) m_panel.Clear(kPanelColor);
    m_panelRect = kPanel.Offset(0, shift);
    m_breadcrumbRect = kBreadcrumb.Offset(0, shift);
    m_pageRect = kPageLabel;

    m_list.SetRectRelative(kListRect.Offset(0, shift));
    m_list.SetRowHeight(g_useLargeFont ? 25 : 20);
    m_list.SetItemFont(m_largeFont);
    m_list.ShowHeaders(false);
    m_list.ShowIcons(true);
    m_list.SetTextColors(g_fgColor, kShadow);
    m_list.SetSelectionTextColor(kWhite);
    m_list.SetInactiveSelectionColor(kGrey);
    m_list.SetInactiveSelectionTextColor(kWhite);
    m_list.AddColumn("Name", "Name", EListView::ColumnVisibility::kVisible, -1, CascadeTextFlags::kEllipsis);
    m_list.AddColumn("Id", "Id", EListView::ColumnVisibility::kHidden, 0, 0);
    m_list.AddColumn("Tag", "Tag", EListView::ColumnVisibility::kHidden, 0, 0);
    AddChild(&m_list);
    m_list.Materialize();

    const CascadeDims face = DialogImages::Size(*g_config.GetButtonActive());
    const int y = GetDims().h - kButtonsFromBottom;
    const CascadeBitmap* faces[kButtonCount] = {&m_favoritesFace, &m_removeFace, &m_addFace, &m_playFace};
    int nextFree = 0;  // buttons wider than their places move right, never overlapping
    for (int i = 0; i < kButtonCount; ++i) {
        const int x = i == kRemoveFromFavorites ? kButtonX[i] : std::max(kButtonX[i], nextFree);
        if (i != kRemoveFromFavorites) nextFree = x + face.w + kButtonGap;
        m_buttons[i].SetImage(faces[i]);
        m_buttons[i].SetRectRelative({x, y, face.w, face.h});
        AddChild(&m_buttons[i]);
        if (i != kRemoveFromFavorites) m_buttons[i].Materialize();
    }
    m_laidOut = true;
}

void IRadioWindow::OnMaterialize() {
    if (!m_laidOut) LayOut();
    m_focus.Remember();
    m_list.SetFocus();
}

void IRadioWindow::OnMaterialized() { ShowTopMenu(); }

// Each showing starts at the top menu with an empty history. A load that
// an Exit stopped may still be ending: then this waits its turn behind it.
void IRadioWindow::ShowTopMenu() {
    auto reset = [this] {
        m_browse.selectionId = "";
        ClearHistory();
        m_list.Clear(EListView::ClearMode::kRowsOnly);
        LoadStations(1, kTopMenu);
    };
    if (m_loader->IsBusy()) {
        (void)m_loader->Start(
            "open",
            [this, reset](ScreenLoader&) {
                m_radio->ResumeFetches();
                reset();
                LogShown("shown");
                AfterLoad();
            },
            ScreenLoader::PleaseWait::kNone);
        return;
    }
    m_radio->ResumeFetches();
    reset();
    ApplyButtons();
    LogShown("shown");
}

void IRadioWindow::OnVanish() {
    if (m_loader->IsBusy()) {
        // Closing never waits for the network: the fetch fails at once and
        // the load ends by itself.
        m_radio->AbortFetches();
        m_loader->Cancel();
    }
    m_focus.Restore();
}

void IRadioWindow::ClearHistory() {
    m_browse.history.clear();
    m_browse.lastBack.reset();
}

BrowseEntryList* IRadioWindow::ListOf(RadioType type) {
    switch (type) {
        case kTopMenu: return &m_browse.topMenu;
        case kShoutcast: return &m_browse.shoutcastStations;
        case kShoutcastGenres: return &m_browse.shoutcastGenres;
        case kRadioIO: return &m_browse.radioioStations;
        case kXiph: return &m_browse.xiphStations;
        case kXiphGenres: return &m_browse.xiphGenres;
        case kSteamcast: return &m_browse.steamcastStations;
        case kSteamcastGenres: return &m_browse.steamcastGenres;
        default: return nullptr;
    }
}

void IRadioWindow::LoadStations(long page, RadioType type, ScreenLoader* loader) {
    Browse& b = m_browse;
    b.node = nullptr;
    b.favoritesMode = false;
    InternetRadio& radio = *m_radio;
    const char* genre = b.selectionId.c_str();
    auto normalizing = [loader](const char* text) {
        if (loader) loader->SetPleaseWaitText(text);
    };
    switch (type) {
        case kTopMenu:
            if (b.topMenu.GetNumEntries() == 0)
                for (const auto& row : kTopMenuRows) b.topMenu.AddEntry(Entry(row[0], row[1]));
            break;
        case kShoutcast:
        case kXiph:
        case kSteamcast: {
            // A genre's stations are fetched when the genre is opened; paging
            // within them uses the list kept.
            if (m_current.load() == type) break;
            BrowseEntryList& list = *ListOf(type);
            list.Clear();
            if (type == kShoutcast) {
                AppLog::WriteToLog("Retrieving Shoutcast stations...\n", true);
                (void)radio.GetShoutcastStations(list, genre);
            } else if (type == kXiph) {
                AppLog::WriteToLog("Retrieving Xiph stations...\n", true);
                (void)radio.GetXiphStations(list, genre);
            } else {
                AppLog::WriteToLog("Retrieving Steamcast stations...\n", true);
                (void)radio.GetSteamcastStations(list, genre);
            }
            break;
        }
        case kShoutcastGenres:
            if (b.shoutcastGenres.GetNumEntries() != 0) break;
            AppLog::WriteToLog("Retrieving Shoutcast genres...\n", true);
            (void)radio.GetShoutcastGenres(b.shoutcastGenres);
            break;
        case kXiphGenres:
            if (b.xiphGenres.GetNumEntries() != 0) break;
            AppLog::WriteToLog("Retrieving Xiph genres...\n", true);
            normalizing("Normalizing Genres...");
            (void)radio.GetXiphGenres(b.xiphGenres);
            normalizing("");
            break;
        case kSteamcastGenres:
            if (b.steamcastGenres.GetNumEntries() != 0) break;
            AppLog::WriteToLog("Retrieving Steamcast genres...\n", true);
            normalizing("Normalizing Genres...");
            (void)radio.GetSteamcastGenres(b.steamcastGenres);
            normalizing("");
            break;
        case kRadioIO:
            if (b.radioioStations.GetNumEntries() != 0) break;
            AppLog::WriteToLog("Retrieving RadioIO stations...\n", true);
            radio.GetRadioIOStations(b.radioioStations);
            break;
        case kSlimPicks:
        case kLiveMusicArchive:
        case kPodcasts:
        case kFavorites: {
            // The log ends each line itself.
            static constexpr const char* kRetrieving[] = {"Retrieving Slim Devices Picks...",
                                                          "Retrieving Live Music Archive...", "Retrieving Podcasts...",
                                                          "Retrieving Favorites..."};
            AppLog::WriteToLog("%s", true, kRetrieving[type - kSlimPicks]);
            m_current = type;
            b.node = type == kSlimPicks          ? radio.GetSlimPicks()
                     : type == kLiveMusicArchive ? radio.GetLiveMusicArchive()
                     : type == kPodcasts         ? radio.GetPodcasts()
                                                 : radio.GetFavorites();
            b.favoritesMode = type == kFavorites;
            LoadOPMLStations(1);
            return;
        }
        case kShoutcastRecent:
            // Recognised, but no directory lists recent stations: an empty page.
            break;
    }
    ShowRows(ListOf(type), page);
    m_current = type;
    m_favoritesModeShown = false;
}

void IRadioWindow::LoadOPMLStations(long page) {
    ShowNodeRows(page);
    m_favoritesModeShown = m_browse.favoritesMode;
}

// Resolves `page`, fills the list with its rows (or the one "no stations"
// row) and stores what the page label and breadcrumb show.
void IRadioWindow::ShowRows(const BrowseEntryList* list, long page) {
    const int visible = m_list.VisibleItemCount();
    m_paging.SetRowsPerPage(visible > 0 ? unsigned(visible) : 1);
    m_paging.SetTotal(list ? list->GetNumEntries() : 0);
    const unsigned long shown = m_paging.SetPage(page);
    m_list.Clear(EListView::ClearMode::kRowsOnly);
    if (m_paging.GetTotal() == 0) {
        m_list.AddItem(kNoStations);
        m_list.SetSelectedIndex(-1, EListView::RedrawMode::kNoRedraw);
    } else {
        const unsigned long first = m_paging.GetStartIndex();
        const unsigned long end = std::min(first + m_paging.GetRowsPerPage(), m_paging.GetTotal());
        for (unsigned long i = first; i < end; ++i) {
            const BrowseEntry* entry = list->Item(i);
            EListView::ListItem* row = entry ? m_list.AddItem(entry->name.c_str()) : nullptr;
            if (!row) continue;
            (void)row->SetCell(kId, entry->id.c_str());
            (void)row->SetCell(kTag, entry->type.c_str());
            row->listIcon = entry->type.IsEmpty() ? &m_audioIcon : &m_arrowIcon;
        }
        m_list.SetSelectedIndex(0, EListView::RedrawMode::kNoRedraw);
    }
    SetShown(long(shown), m_paging.GetPageCount());
}

void IRadioWindow::ShowNodeRows(long page) {
    OPMLNode* node = m_browse.node;
    const unsigned long count = node ? node->ChildCount(OPMLNode::Load::Yes) : 0;
    const int visible = m_list.VisibleItemCount();
    m_paging.SetRowsPerPage(visible > 0 ? unsigned(visible) : 1);
    m_paging.SetTotal(count);
    const unsigned long shown = m_paging.SetPage(page);
    m_list.Clear(EListView::ClearMode::kRowsOnly);
    if (count == 0) {
        m_list.AddItem(kNoStations);
        m_list.SetSelectedIndex(-1, EListView::RedrawMode::kNoRedraw);
    } else {
        const unsigned long first = m_paging.GetStartIndex();
        const unsigned long end = std::min(first + m_paging.GetRowsPerPage(), count);
        for (unsigned long i = first; i < end; ++i) {
            const OPMLNode* child = node->Child(i, OPMLNode::Load::No);
            EListView::ListItem* row = child ? m_list.AddItem(child->text.c_str()) : nullptr;
            if (!row) continue;
            CascadeString index;
            index.Format("%lu", i);
            (void)row->SetCell(kId, child->url.c_str());
            (void)row->SetCell(kTag, index.c_str());
            row->listIcon = child->HasChildren() ? &m_arrowIcon : &m_audioIcon;
        }
        m_list.SetSelectedIndex(0, EListView::RedrawMode::kNoRedraw);
    }
    SetShown(long(shown), m_paging.GetPageCount());
}

void IRadioWindow::SetShown(long page, unsigned long pageCount) {
    m_page = unsigned(page);
    CascadeString label;
    label.Format("Page %i of %i", int(page), int(std::max(pageCount, 1ul)));
    CascadeString path;
    for (const GenreSelection& step : m_browse.history) {
        if (!path.IsEmpty()) path += " / ";
        path += step.name;
    }
    {
        std::lock_guard lock(m_shownLock);
        m_pageLabel = label;
        m_breadcrumb = path;
    }
    m_list.Redraw();
    Redraw();
}

// One line per list shown, for the log and the end-to-end tests.
void IRadioWindow::LogShown(const char* how) {
    AppLog::WriteToLog("radio: %s type %d, page %u of %lu, row %d, %zu rows\n", false, how, int(m_current.load()),
                       m_page.load(), std::max(m_paging.GetPageCount(), 1ul), m_list.GetSelectedIndex(),
                       m_list.ItemCount());
}

CascadeString IRadioWindow::GetPageLabel() const {
    std::lock_guard lock(m_shownLock);
    return m_pageLabel;
}

CascadeString IRadioWindow::GetBreadcrumb() const {
    std::lock_guard lock(m_shownLock);
    return m_breadcrumb;
}

// Which favourites button shows follows the list: remove in the Favorites,
// add to them everywhere else. UI thread.
void IRadioWindow::ApplyButtons() {
    if (!m_laidOut) return;
    const bool removing = m_favoritesModeShown.load();
    EButton& shown = m_buttons[removing ? kRemoveFromFavorites : kAddToFavorites];
    EButton& hidden = m_buttons[removing ? kAddToFavorites : kRemoveFromFavorites];
    if (shown.IsVisible() && !hidden.IsVisible()) return;
    const bool hadFocus = hidden.IsFocus();
    hidden.Vanish();
    shown.Materialize();
    if (hadFocus) shown.SetFocus();
}

// The loader changed the list: the buttons follow on the UI thread.
void IRadioWindow::AfterLoad() {
    CascadeApp* app = CascadeApp::s_pTheApp;
    if (!app) return;
    app->Post([alive = std::weak_ptr<int>(m_alive), this] {
        if (alive.lock()) ApplyButtons();
    });
}

void IRadioWindow::FocusFavoritesButton() {
    ApplyButtons();
    m_buttons[m_favoritesModeShown.load() ? kRemoveFromFavorites : kAddToFavorites].SetFocus();
}

CascadeString IRadioWindow::SelectedCell(std::size_t column) const {
    const EListView::ListItem* item = m_list.GetSelectedItem();
    return item ? CascadeString(item->GetCell(column)) : CascadeString();
}

// Right (or an activate key) on the list.
void IRadioWindow::Open() {
    const int selected = m_list.GetSelectedIndex();
    if (selected < 0) return;
    const CascadeString name = SelectedCell(kName);
    const CascadeString id = SelectedCell(kId);
    const CascadeString tag = SelectedCell(kTag);
    Browse& b = m_browse;
    if (tag.IsEmpty()) {
        // A playable station: the next thing to do with it is a button.
        FocusFavoritesButton();
        return;
    }
    if (b.node) {
        const long index = ChildIndex(tag);
        OPMLNode* child = index < 0 ? nullptr : b.node->Child(static_cast<unsigned long>(index), OPMLNode::Load::No);
        if (!child) return;
        if (!child->HasChildren()) {
            FocusFavoritesButton();
            return;
        }
        // Its children are fetched, when they must be, on the loader thread.
        b.node = child;
    } else {
        b.chosen = TypeOfTag(tag, b.chosen);
    }
    b.history.push_back({id, name, static_cast<unsigned short>(m_page.load()), static_cast<int16_t>(selected)});
    b.selectionId = id;
    StartOpen(1);
}

void IRadioWindow::StartOpen(long page) {
    m_browse.pendingCommand = "open";
    (void)m_loader->Start("open", [this, page](ScreenLoader& loader) {
        m_radio->ResumeFetches();
        if (m_browse.node)
            LoadOPMLStations(page);
        else
            LoadStations(page, m_browse.chosen, &loader);
        m_browse.pendingCommand = "";
        LogShown("shown");
        AfterLoad();
    });
}

// Left on the list: back one step, to the page and row it was opened from.
// Every list it returns to is kept, so nothing is fetched.
void IRadioWindow::Back() {
    Browse& b = m_browse;
    b.lastBack.reset();
    if (b.history.empty()) return;
    b.lastBack = b.history.back();
    b.history.pop_back();
    const GenreSelection& record = *b.lastBack;
    b.selectionId = record.id;
    if (b.node) {
        if (OPMLNode* parent = b.node->GetParent()) {
            b.node = parent;
            LoadOPMLStations(record.page);
        } else {
            LoadStations(1, kTopMenu);
        }
    } else {
        switch (m_current.load()) {
            case kShoutcast: LoadStations(record.page, kShoutcastGenres); break;
            case kXiph: LoadStations(record.page, kXiphGenres); break;
            case kSteamcast: LoadStations(record.page, kSteamcastGenres); break;
            case kTopMenu:
            case kShoutcastRecent: break;
            default: LoadStations(1, kTopMenu); break;
        }
    }
    m_list.SetSelectedIndex(record.selected, EListView::RedrawMode::kRedraw);
    ApplyButtons();
    LogShown("back");
}

// Zoom In / Zoom Out, and Up and Down across a page's edge. Pages of kept
// lists change here; a list that would have to be fetched again (an empty
// genre list, an outline that could not be read) goes to the loader.
// Returns false when it went there.
bool IRadioWindow::ChangePage(long delta) {
    const long page = long(m_page.load()) + delta;
    Browse& b = m_browse;
    if (b.node) {
        if (b.node->ChildCount(OPMLNode::Load::No) == 0 && b.node->IsLoadable()) {
            StartOpen(page);
            return false;
        }
        LoadOPMLStations(page);
    } else {
        const RadioType current = m_current.load();
        const BrowseEntryList* list = ListOf(current);
        const bool refetch = (current == kShoutcastGenres || current == kXiphGenres ||
                              current == kSteamcastGenres || current == kRadioIO) &&
                             list && list->GetNumEntries() == 0;
        if (refetch) {
            b.chosen = current;
            StartOpen(page);
            return false;
        }
        LoadStations(page, current);
    }
    ApplyButtons();
    LogShown("paged");
    return true;
}

// Up and Down on the list: within the page, and past its edge onto the
// neighbouring page unless wrap-around keeps them inside it.
void IRadioWindow::MoveSelection(bool down) {
    const int count = int(m_list.ItemCount());
    const int selected = m_list.GetSelectedIndex();
    if (count == 0 || selected < 0) return;
    if (down) {
        if (selected < count - 1) {
            m_list.SetSelectedIndex(selected + 1, EListView::RedrawMode::kRedraw);
            return;
        }
        if (!g_wrapAround && !ChangePage(+1)) return;
        if (m_list.GetSelectedIndex() >= 0) m_list.SetSelectedIndex(0, EListView::RedrawMode::kRedraw);
        return;
    }
    if (selected > 0) {
        m_list.SetSelectedIndex(selected - 1, EListView::RedrawMode::kRedraw);
        return;
    }
    if (!g_wrapAround && !ChangePage(-1)) return;
    if (m_list.GetSelectedIndex() >= 0)
        m_list.SetSelectedIndex(int(m_list.ItemCount()) - 1, EListView::RedrawMode::kRedraw);
}

// Play and Add: the application sends them to the server from its command
// thread. A row that is not a station sends its "Id" unchanged.
void IRadioWindow::SendToServer(const char* command) {
    if (m_list.GetSelectedIndex() < 0) return;
    const CascadeString url = SelectedCell(kId);
    AppLog::WriteToLog("radio: %s %s\n", false, command, url.c_str());
    if (m_client)
        m_client->OnIRadioCommand(command, url);
    else
        AppLog::WriteToLog("radio: no one to send \"%s\" to\n", false, command);
}

void IRadioWindow::StartFavorites() {
    if (m_list.GetSelectedIndex() < 0) return;
    m_browse.pendingCommand = "favorites";
    (void)m_loader->Start("favorites", [this](ScreenLoader& loader) {
        m_radio->ResumeFetches();
        RunFavorites(loader);
        m_browse.pendingCommand = "";
        LogShown("favorites");
        AfterLoad();
    });
}

// Loader thread: adds the selected row to the Favorites, or removes it in
// the Favorites list, and saves the file at once.
void IRadioWindow::RunFavorites(ScreenLoader& loader) {
    InternetRadio& radio = *m_radio;
    Browse& b = m_browse;
    const CascadeString name = SelectedCell(kName);
    const CascadeString id = SelectedCell(kId);
    const CascadeString tag = SelectedCell(kTag);
    radio.SetFavoritesModified();
    bool changed = false;
    if (b.node) {
        const long index = ChildIndex(tag);
        if (index < 0) return;
        if (b.favoritesMode) {
            loader.SetPleaseWaitText("Removing from Favorites...");
            std::unique_ptr<OPMLNode> removed = b.node->RemoveChild(static_cast<unsigned long>(index));
            changed = removed != nullptr;
            if (changed) (void)radio.SaveFavorites();
            LoadOPMLStations(m_page.load());
        } else {
            loader.SetPleaseWaitText("Adding to Favorites...");
            const OPMLNode* child = b.node->Child(static_cast<unsigned long>(index), OPMLNode::Load::Yes);
            if (child) {
                radio.GetFavorites()->AddChildCopy(*child);
                changed = true;
                (void)radio.SaveFavorites();
            }
        }
    } else if (tag.IsEmpty()) {
        // Only a station of a directory list; genre and menu rows are not added.
        loader.SetPleaseWaitText("Adding to Favorites...");
        radio.GetFavorites()->AddChild(name.c_str(), id.c_str(), "audio");
        changed = true;
        (void)radio.SaveFavorites();
    }
    if (changed) Pause(loader, m_messageDelayMs.load());
}

// Leaves the message up for `ms`, unless the window is closing.
void IRadioWindow::Pause(ScreenLoader& loader, unsigned long ms) {
    constexpr unsigned long kStep = 50;
    for (unsigned long waited = 0; waited < ms && !loader.IsStopping(); waited += kStep)
        CascadeThread::Sleep(std::min(kStep, ms - waited));
}

bool IRadioWindow::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    if (key == CascadeKeys::kExit) {
        Vanish();
        return true;
    }
    // One thing at a time: a load under way owns the browsing state.
    if (m_loader->IsBusy()) return true;
    const CascadeWindow* focus = GetFocus();
    const bool onList = focus != &m_buttons[kAdd] && focus != &m_buttons[kPlay] &&
                        focus != &m_buttons[kAddToFavorites] && focus != &m_buttons[kRemoveFromFavorites];
    switch (key) {
        case CascadeKeys::kSelect:
        case CascadeKeys::kPlay:
        case CascadeKeys::kPlayPause:
            if (onList)
                Open();
            else if (focus == &m_buttons[kAdd])
                SendToServer("add");
            else if (focus == &m_buttons[kPlay])
                SendToServer("play");
            else
                StartFavorites();
            return true;
        case CascadeKeys::kZoomIn: (void)ChangePage(-1); return true;
        case CascadeKeys::kZoomOut: (void)ChangePage(+1); return true;
        case CascadeKeys::kRotate: StartFavorites(); return true;
        default: return true;  // the dialog keeps every other key
    }
}

bool IRadioWindow::OnNavKey(unsigned long key, CascadeWindow*& next) {
    AppActivity::NotifyActivity(key);
    next = nullptr;
    if (m_loader->IsBusy()) return true;
    const CascadeWindow* focus = GetFocus();
    EButton& favorites = m_buttons[m_favoritesModeShown.load() ? kRemoveFromFavorites : kAddToFavorites];
    if (focus == &m_buttons[kAdd] || focus == &m_buttons[kPlay] || focus == &m_buttons[kAddToFavorites] ||
        focus == &m_buttons[kRemoveFromFavorites]) {
        const bool onFavorites = focus != &m_buttons[kAdd] && focus != &m_buttons[kPlay];
        switch (key) {
            case CascadeKeys::kRight:
                if (onFavorites)
                    m_buttons[kAdd].SetFocus();
                else if (focus == &m_buttons[kAdd])
                    m_buttons[kPlay].SetFocus();
                else
                    m_list.SetFocus();
                break;
            case CascadeKeys::kLeft:
                if (focus == &m_buttons[kPlay])
                    m_buttons[kAdd].SetFocus();
                else if (focus == &m_buttons[kAdd])
                    favorites.SetFocus();
                else
                    m_list.SetFocus();
                break;
            default: m_list.SetFocus(); break;
        }
        return true;
    }
    if (focus != &m_list) m_list.SetFocus();
    switch (key) {
        case CascadeKeys::kDown: MoveSelection(true); break;
        case CascadeKeys::kUp: MoveSelection(false); break;
        case CascadeKeys::kRight: Open(); break;
        case CascadeKeys::kLeft: Back(); break;
        default: break;
    }
    return true;
}

void IRadioWindow::OnPaint(CascadeBitmap& target) {
    const CascadeRect area = target.GetClip().MakeIntersectRect(CascadeRect({0, 0}, GetDims()));
    target.DrawBitmap(*g_config.GetInternetRadioBackground(), area.Origin(), area);
    auto part = [&](const CascadeBitmap& bitmap, const CascadeRect& where) {
        DialogImages::DrawPart(target, bitmap, where, area);
    };
    part(m_panel, m_panelRect);
    part(m_title, m_titleRect);
    CascadeString label, path;
    {
        std::lock_guard lock(m_shownLock);
        label = m_pageLabel;
        path = m_breadcrumb;
    }
    if (area.IntersectRect(m_breadcrumbRect) && !path.IsEmpty())
        EUtils::ShadowedDrawText(target, m_largeFont, m_breadcrumbRect, path.c_str(), g_fgColor,
                                 CascadeTextFlags::kEllipsis, 1, kShadow, EUtils::kDownRight,
                                 EUtils::ShadowSteps::kAll);
    if (area.IntersectRect(m_pageRect))
        target.DrawText(m_smallFont, m_pageRect, label.View(), g_fgColor,
                        CascadeTextFlags::kAlignRight | CascadeTextFlags::kCenterVertical);
}

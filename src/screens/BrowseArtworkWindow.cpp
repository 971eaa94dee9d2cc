#include "screens/BrowseArtworkWindow.h"

#include "app/base/AppActivity.h"
#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeTextFlags.h"
#include "server/EUtils.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr CascadePoint kLogoAt{28, 12};
constexpr int kTitleRightMargin = 20;
constexpr int kTitleY = 25;
constexpr CascadeRect kStrip{982, 70, 20, 482};
constexpr CascadeRect kStatus{22, 553, 945, 20};
constexpr CascadeColor kStripFill{0x00000080u};
constexpr CascadeColor kStripFrame{0x000000FFu};
constexpr CascadeColor kMarker{0x40D6C6FFu};  // the tiles' focus colour
constexpr CascadeColor kShadow{0x000000FFu};

struct GridShape {
    int rows, columns, width, height, gapX, rowStep;
};
// "-LargeCoverArt": 2 rows of 4 larger covers; otherwise 3 rows of 6.
constexpr GridShape kLarge{2, 4, 230, 238, 10, 238 + 6};
constexpr GridShape kSmall{3, 6, 145, 158, 15, 162};
constexpr CascadePoint kGridAt{22, 70};

unsigned long Decimal(const CascadeString& text) {
    return static_cast<unsigned long>(std::max<int64_t>(EUtils::ParseDecimal(text.View()), 0));
}

}  // namespace

BrowseArtworkWindow::BrowseArtworkWindow() = default;

BrowseArtworkWindow::~BrowseArtworkWindow() {
    m_loader.Join();
    DestroyGrid();
}

void BrowseArtworkWindow::Attach(const ScreenContext& context) {
    m_context = context;
    m_albumInfo.Attach(context);
    m_filter.Attach(context);
}

void BrowseArtworkWindow::FirstShowing() {
    if (m_firstShown) return;
    m_noCoverPath = g_appPath + "images/nocover.thm";
    DialogImages::Load(m_title, "images/title_coverart.png");
    const CascadeDims title = DialogImages::Size(m_title);
    m_titleRect = {GetDims().w - kTitleRightMargin - title.w, kTitleY, title.w, title.h};
    m_font = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 18 : 15);
    if (m_strip.Create(kStrip.Dims(), CascadeBitmap::kRamVideo)) {
        m_strip.Clear(kStripFill);
        m_strip.FrameRect({0, 0, kStrip.w, kStrip.h}, kStripFrame);
    }
    m_stripRect = kStrip;
    m_statusRect = kStatus;
    if (!m_wormhole.Create(g_wormholeBase + ".BrowseArtworkWindow", [this](const CascadeMessage& m) { OnMessage(m); }))
        AppLog::WriteToLog("artwork: no wormhole at %s.BrowseArtworkWindow\n", false, g_wormholeBase.c_str());
    m_firstShown = true;
}

void BrowseArtworkWindow::MakeGrid() {
    const GridShape& shape = g_largeCoverArt ? kLarge : kSmall;
    for (int row = 0; row < shape.rows; ++row) {
        for (int column = 0; column < shape.columns; ++column) {
            auto button = std::make_unique<AlbumButton>(m_context.server);
            button->SetRectRelative({kGridAt.x + column * (shape.width + shape.gapX), kGridAt.y + row * shape.rowStep,
                                     shape.width, shape.height});
            button->SetNoCoverJpeg(m_noCoverPath.c_str());
            button->SetCoverCache(&m_cache);
            AddChild(button.get());
            m_buttons.push_back(std::move(button));
        }
    }
    std::lock_guard lock(m_dataLock);
    m_data.paging.SetRowsPerPage(m_buttons.size());
}

void BrowseArtworkWindow::DestroyGrid() {
    for (auto& button : m_buttons) RemoveChild(button.get());
    m_buttons.clear();
}

void BrowseArtworkWindow::OnMaterialize() {
    FirstShowing();
    MakeGrid();
    {
        std::lock_guard lock(m_dataLock);
        m_data.paging.Reset();
        m_data.cells.clear();
    }
    m_focus.Remember();
    SetFocus();  // the first cover takes it once the page is there
}

void BrowseArtworkWindow::OnMaterialized() { LoadAlbums(1); }

// Waits for the loader: the tiles it loads go with the grid. A cover fetch
// under way ends within the tile's stall time-out.
void BrowseArtworkWindow::OnVanish() {
    ++m_generation;
    m_loadingCovers = false;
    m_loader.Cancel();
    if (!m_loader.WaitUntilIdle(30000)) AppLog::WriteToLog("artwork: the loader did not stop in time\n", false);
    m_focus.Restore();
    DestroyGrid();
}

void BrowseArtworkWindow::LoadAlbums(long page) {
    const uint64_t generation = ++m_generation;
    m_loadingCovers = false;
    m_loader.Cancel();  // abandons the cover pass of the page shown
    (void)m_loader.Start(
        "page", [this, page, generation](ScreenLoader&) { FetchPage(page, generation); },
        ScreenLoader::PleaseWait::kNone);
}

// ---- loader thread ----

void BrowseArtworkWindow::FetchPage(long page, uint64_t generation) {
    unsigned long resolved = 1, perPage = 1, genreId = 0, artistId = 0;
    {
        std::lock_guard lock(m_dataLock);
        resolved = m_data.paging.Resolve(page);
        perPage = m_data.paging.GetRowsPerPage();
        genreId = m_data.genreId;
        artistId = m_data.artistId;
    }
    const unsigned long start = (resolved - 1) * perPage;
    BrowseEntryList list;
    if (m_context.server) {
        if (genreId == 0 && artistId == 0)
            (void)m_context.server->GetAlbumArtwork(start, perPage, list);
        else
            (void)m_context.server->GetAlbums(genreId, artistId, start, perPage, list);
    }
    std::vector<Cell> cells;
    for (std::size_t i = 0; i < list.GetNumEntries() && i < perPage; ++i) {
        const BrowseEntry* entry = list.Item(i);
        if (entry) cells.push_back({entry->name, entry->id, entry->url});
    }
    if (generation != m_generation.load()) return;
    {
        std::lock_guard lock(m_dataLock);
        m_data.paging.SetTotal(list.GetTotalCount());
        m_data.paging.SetPage(long(resolved));
        m_data.cells = std::move(cells);
    }
    if (!CascadeWormhole::PostMessage(m_wormhole.GetAddress(), kPageLoaded, &generation, sizeof generation))
        AppLog::WriteToLog("artwork: page %lu could not be handed to the screen\n", false, resolved);
}

// Covers one after another in grid order; a newer page or a vanishing
// stops the pass after the tile under way.
void BrowseArtworkWindow::PassCovers(ScreenLoader& loader, uint64_t generation) {
    std::vector<Cell> cells;
    {
        std::lock_guard lock(m_dataLock);
        cells = m_data.cells;
    }
    m_loadingCovers = true;
    for (std::size_t i = 0; i < cells.size() && i < m_buttons.size(); ++i) {
        if (loader.IsStopping() || generation != m_generation.load() || !m_loadingCovers.load()) return;
        AlbumButton& button = *m_buttons[i];
        if (!cells[i].coverUrl.IsEmpty())
            button.SetAlbumArtURL(cells[i].coverUrl.c_str(), AlbumButton::RedrawMode::kRedraw);
        else
            button.LoadAlbumArt(AlbumButton::LoadMode::kNow);
    }
    m_loadingCovers = false;
}

// ---- UI thread ----

void BrowseArtworkWindow::OnMessage(const CascadeMessage& message) {
    if (message.GetMessageID() != kPageLoaded || message.GetDataLength() != sizeof(uint64_t)) return;
    uint64_t generation = 0;
    std::memcpy(&generation, message.GetData(), sizeof generation);
    if (generation == m_generation.load() && IsVisible()) ApplyPage(generation);
}

void BrowseArtworkWindow::ApplyPage(uint64_t generation) {
    std::vector<Cell> cells;
    {
        std::lock_guard lock(m_dataLock);
        cells = m_data.cells;
    }
    const std::size_t filled = std::min(cells.size(), m_buttons.size());
    FixFocus(filled);
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        AlbumButton& button = *m_buttons[i];
        if (i >= filled) {
            button.SetAlbumId("", AlbumButton::RedrawMode::kNoRedraw);
            button.SetTitle("");
            button.SetAlbumArtURL("", AlbumButton::RedrawMode::kNoRedraw);
            if (button.IsVisible()) button.Vanish();
            continue;
        }
        // A tile that shows another album forgets the old cover at once.
        if (!(button.GetAlbumId() == cells[i].id)) {
            button.SetAlbumId(cells[i].id.c_str(), AlbumButton::RedrawMode::kNoRedraw);
            button.SetAlbumArtURL("", AlbumButton::RedrawMode::kNoRedraw);
        }
        button.SetTitle(cells[i].name.c_str());
        if (!button.IsVisible()) button.Materialize();
    }
    if (filled > 0 && (IsFocus() || !FocusedButton())) m_buttons[0]->SetFocus();
    Redraw();
    (void)m_loader.Start(
        "covers", [this, generation](ScreenLoader& loader) { PassCovers(loader, generation); },
        ScreenLoader::PleaseWait::kNone);
}

// A focused tile about to be emptied hands the focus to the last filled
// one (or, on an empty page, to the window, which still takes the keys).
void BrowseArtworkWindow::FixFocus(std::size_t filled) {
    for (std::size_t i = filled; i < m_buttons.size(); ++i) {
        if (!m_buttons[i]->IsFocus()) continue;
        if (filled > 0)
            m_buttons[filled - 1]->SetFocus();
        else
            SetFocus();
        return;
    }
}

AlbumButton* BrowseArtworkWindow::FocusedButton() const {
    for (const auto& button : m_buttons)
        if (button->IsFocus()) return button.get();
    return nullptr;
}

void BrowseArtworkWindow::RunAlbumCommand(const CascadeString& command) {
    AlbumButton* button = FocusedButton();
    SlimConnection* server = m_context.server;
    if (!button || !server || !button->WillAcceptFocus()) return;
    const unsigned long album = Decimal(button->GetAlbumId());
    std::function<void()> call;
    if (command == "play")
        call = [server, album] { server->ReplaceCurrentPlaylist(0, 0, album); };
    else if (command == "insert")
        call = [server, album] { server->InsertInCurrentPlaylist(0, 0, album); };
    else if (command == "add")
        call = [server, album] { server->AddToCurrentPlaylist(0, 0, album); };
    else
        return;
    if (m_context.app)
        m_context.app->PostCommand(command.c_str(), std::move(call));
    else
        (void)m_loader.Start(command, [call](ScreenLoader&) { call(); });
}

void BrowseArtworkWindow::OnManagePlaylistCommand(const CascadeString& command) {
    AppLog::WriteToLog("Manage Playlist Command: %s\n", false, command.c_str());
    RunAlbumCommand(command);
}

void BrowseArtworkWindow::OnFilterResult(unsigned long genreId, const char* genre, unsigned long artistId,
                                         const char* artist) {
    {
        std::lock_guard lock(m_dataLock);
        m_data.genreId = genreId;
        m_data.artistId = artistId;
        m_data.genre = genreId == 0 || !genre ? "All" : genre;
        m_data.artist = artistId == 0 || !artist ? "All" : artist;
        m_data.paging.Reset();
    }
    std::printf("genre: %ld-%s\tartist: %ld-%s\n", long(genreId), genre ? genre : "", long(artistId),
                artist ? artist : "");
    LoadAlbums(1);
    Redraw(m_statusRect);
}

bool BrowseArtworkWindow::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    AlbumButton* focused = FocusedButton();
    unsigned long page = 1, count = 1;
    {
        std::lock_guard lock(m_dataLock);
        page = m_data.paging.GetPage();
        count = m_data.paging.GetPageCount();
    }
    switch (key) {
        case CascadeKeys::kSelect:
        case CascadeKeys::kOptions:
            if (focused && focused->WillAcceptFocus()) {
                std::size_t index = 0;
                while (index < m_buttons.size() && m_buttons[index].get() != focused) ++index;
                CascadeString title;
                {
                    std::lock_guard lock(m_dataLock);
                    if (index < m_data.cells.size()) title = m_data.cells[index].name;
                }
                m_albumInfo.ShowDialog(title.c_str(), focused->GetAlbumId().c_str(), this);
            }
            return true;
        case CascadeKeys::kPlay:
        case CascadeKeys::kPlayPause: RunAlbumCommand("play"); return true;
        case CascadeKeys::kNext: LoadAlbums(long(page + count / 10)); return true;
        case CascadeKeys::kPrevious: LoadAlbums(long(page) - long(count / 10)); return true;
        case CascadeKeys::kZoomIn: LoadAlbums(long(page) - 1); return true;
        case CascadeKeys::kZoomOut: LoadAlbums(long(page) + 1); return true;
        case CascadeKeys::kMenu: m_filter.ShowDialog(this); return true;
        case CascadeKeys::kExit: Vanish(); return true;
        default: return false;
    }
}

// The arrows move between covers by the default focus movement; on a page
// without covers the window keeps the focus.
bool BrowseArtworkWindow::OnNavKey(unsigned long key, CascadeWindow*& next) {
    AppActivity::NotifyActivity(key);
    if (!IsFocus()) return false;
    next = nullptr;
    return true;
}

void BrowseArtworkWindow::PaintStrip(CascadeBitmap& target, unsigned long page, unsigned long count) {
    if (m_strip.IsValid()) target.DrawBitmap(m_strip, m_stripRect.Origin());
    if (count < 2 || page < 1) return;
    const int height = std::max(m_stripRect.h / int(count), 1);
    int top = m_stripRect.y + int(page - 1) * height;
    if (page >= count) top = m_stripRect.Bottom() - height;  // the last page's marker ends at the bottom
    target.FillRect({m_stripRect.x + 2, top, m_stripRect.w - 4, height}, kMarker);
}

void BrowseArtworkWindow::OnPaint(CascadeBitmap& target) {
    unsigned long page = 1, count = 1;
    CascadeString status;
    {
        std::lock_guard lock(m_dataLock);
        page = m_data.paging.GetPage();
        count = m_data.paging.GetPageCount();
        status = "Genre: " + m_data.genre + "   Artist: " + m_data.artist;
    }
    target.DrawBitmap(*g_config.GetCoverArtBackground(), {0, 0});
    if (m_title.IsValid()) target.DrawBitmap(m_title, m_titleRect.Origin());
    target.DrawBitmap(*g_config.GetLogo(), kLogoAt);
    EUtils::ShadowedDrawText(target, m_font, m_statusRect, status.c_str(), g_fgColor,
                             CascadeTextFlags::kCenterVertical | CascadeTextFlags::kEllipsis, 1, kShadow,
                             EUtils::kDownRight, EUtils::ShadowSteps::kAll);
    PaintStrip(target, page, count);
}

unsigned short BrowseArtworkWindow::GetPage() const {
    std::lock_guard lock(m_dataLock);
    return static_cast<unsigned short>(m_data.paging.GetPage());
}

unsigned short BrowseArtworkWindow::GetPageCount() const {
    std::lock_guard lock(m_dataLock);
    return static_cast<unsigned short>(m_data.paging.GetPageCount());
}

CascadeString BrowseArtworkWindow::GetStatusText() const {
    std::lock_guard lock(m_dataLock);
    return "Genre: " + m_data.genre + "   Artist: " + m_data.artist;
}

AlbumButton* BrowseArtworkWindow::GetButton(std::size_t index) const {
    return index < m_buttons.size() ? m_buttons[index].get() : nullptr;
}

std::size_t BrowseArtworkWindow::CountCoversShown() const {
    std::size_t shown = 0;
    for (const auto& button : m_buttons) shown += button->IsVisible() && button->IsLoaded();
    return shown;
}

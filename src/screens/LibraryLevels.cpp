#include "screens/LibraryLevels.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "screens/LetterJump.h"
#include "server/BrowseEntryList.h"
#include "server/EUtils.h"
#include "server/SongList.h"

#include <algorithm>

namespace {

constexpr CascadeColor kWhite{0xFFFFFFFFu};
constexpr CascadeColor kGrey{0x808080FFu};
constexpr CascadeColor kShadow{0x000000FFu};

}  // namespace

LibraryLevels::LibraryLevels(const char* loaderName, LibraryLevel deepest, bool playlist)
    : m_deepest(deepest), m_playlist(playlist), m_loaderName(loaderName ? loaderName : "library") {}

LibraryLevels::~LibraryLevels() { Join(); }

void LibraryLevels::Attach(const ScreenContext& context, CascadeWindow* owner) {
    m_context = context;
    m_owner = owner;
    if (m_loader) m_loader->Join();
    m_loader = std::make_unique<ScreenLoader>(m_loaderName, context.app, AppServices::kNoWindow);
}

bool LibraryLevels::Has(LibraryLevel level) const {
    if (level == LibraryLevel::kPlaylist) return m_playlist;
    return Index(level) <= Index(m_deepest);
}

std::optional<LibraryLevel> LibraryLevels::FocusedLevel() const {
    for (int i = 0; i < kLevelCount; ++i) {
        const auto level = static_cast<LibraryLevel>(i);
        if (Has(level) && m_lists[i].IsFocus()) return level;
    }
    return std::nullopt;
}

const char* LibraryLevels::LevelName(LibraryLevel level) {
    switch (level) {
        case LibraryLevel::kGenre: return "Genre";
        case LibraryLevel::kArtist: return "Artist";
        case LibraryLevel::kAlbum: return "Album";
        case LibraryLevel::kTrack: return "Track";
        case LibraryLevel::kPlaylist: return "Playlist";
    }
    return "";
}

CascadeString LibraryLevels::AllRowText(unsigned long count, LibraryLevel level) {
    CascadeString text;
    text.Format("All (%ld %s%s)", long(count), LevelName(level), count == 1 ? "" : "s");
    return text;
}

void LibraryLevels::SetUpList(LibraryLevel level, const CascadeFont& font, int rowHeight) {
    EListView& list = List(level);
    // The first column takes what the fixed ones leave.
    switch (level) {
        case LibraryLevel::kGenre:
        case LibraryLevel::kArtist:
        case LibraryLevel::kAlbum:
            list.AddColumn(LevelName(level), LevelName(level), EListView::ColumnVisibility::kVisible, -1, 0);
            list.AddColumn("Index", "Index", EListView::ColumnVisibility::kHidden, 0, 0);
            break;
        case LibraryLevel::kTrack:
            list.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1, 0);
            list.AddColumn("Artist", "Artist", EListView::ColumnVisibility::kVisible, 160, 0);
            list.AddColumn("Index", "Index", EListView::ColumnVisibility::kHidden, 0, 0);
            break;
        case LibraryLevel::kPlaylist:
            list.AddColumn("Title", "Title", EListView::ColumnVisibility::kVisible, -1, 0);
            list.AddColumn("Artist", "Artist", EListView::ColumnVisibility::kVisible, 160, 0);
            list.AddColumn("Index", "Index", EListView::ColumnVisibility::kHidden, 0, 0);
            list.AddColumn("SongIndex", "SongIndex", EListView::ColumnVisibility::kHidden, 0, 0);
            break;
    }
    list.ShowHeaders(false);
    list.SetItemFont(font);
    list.SetRowHeight(rowHeight);
    list.SetTextColors(kWhite, kShadow);
    list.SetSelectionColor(kWhite);
    list.SetSelectionTextColor(kGrey);
}

void LibraryLevels::SetPageTextArea(LibraryLevel level, const CascadeRect& area) { m_pageTextAreas[Index(level)] = area; }

CascadeRect LibraryLevels::GetPageTextArea(LibraryLevel level) const { return m_pageTextAreas[Index(level)]; }

LibraryLevels::PageState LibraryLevels::GetPageState(LibraryLevel level) const {
    std::lock_guard lock(m_lock);
    const LevelData& data = m_data[Index(level)];
    PageState state;
    if (!data.loaded) return state;
    state.page = data.paging.GetPage();
    state.pageCount = data.paging.HasTotal() ? data.paging.GetPageCount() : 0;
    state.total = data.total;
    state.label = data.label;
    return state;
}

CascadeString LibraryLevels::SelectedCell(LibraryLevel level, std::size_t column) const {
    const int row = m_lists[Index(level)].GetSelectedIndex();
    std::lock_guard lock(m_lock);
    const auto& rows = m_data[Index(level)].rows;
    if (row < 0 || std::size_t(row) >= rows.size() || column >= rows[std::size_t(row)].size()) return {};
    return rows[std::size_t(row)][column];
}

unsigned long LibraryLevels::SelectedId(LibraryLevel level) const {
    if (!Has(level)) return 0;
    const int64_t id = EUtils::ParseDecimal(SelectedCell(level, 1).View());
    return id > 0 ? static_cast<unsigned long>(id) : 0;
}

int LibraryLevels::SelectedRow(LibraryLevel level) const { return m_lists[Index(level)].GetSelectedIndex(); }

std::size_t LibraryLevels::RowCount(LibraryLevel level) const {
    std::lock_guard lock(m_lock);
    return m_data[Index(level)].rows.size();
}

std::vector<CascadeString> LibraryLevels::RowNames(LibraryLevel level) const {
    std::lock_guard lock(m_lock);
    std::vector<CascadeString> names;
    for (const auto& row : m_data[Index(level)].rows) names.push_back(row.empty() ? CascadeString() : row[0]);
    return names;
}

void LibraryLevels::Reset() {
    std::lock_guard lock(m_lock);
    for (LevelData& data : m_data) {
        data.paging.Reset();
        data.loaded = false;
        data.queued = false;
        data.selectAfter = kKeepSelection;
    }
    m_countdown = -1;
}

void LibraryLevels::Start(const char* command, ScreenLoader::Work work, ScreenLoader::PleaseWait pleaseWait) {
    if (!m_loader) return;
    if (!m_loader->Start(command, std::move(work), pleaseWait))
        AppLog::WriteToLog("library: \"%s\" not started, the loader has stopped\n", false, command);
}

void LibraryLevels::RequestPage(LibraryLevel level, long page, int selectAfter) {
    if (!Has(level)) return;
    {
        std::lock_guard lock(m_lock);
        LevelData& data = m_data[Index(level)];
        data.wantedPage = page;
        if (selectAfter != kKeepSelection) data.selectAfter = selectAfter;
        if (data.queued) return;  // the waiting load takes the newest page
        data.queued = true;
    }
    Start(
        "page",
        [this, level](ScreenLoader&) {
            long wanted;
            int select;
            {
                std::lock_guard lock(m_lock);
                LevelData& data = m_data[Index(level)];
                data.queued = false;
                wanted = data.wantedPage;
                select = data.selectAfter;
                data.selectAfter = kKeepSelection;
            }
            LoadData(level, wanted, select);
        },
        ScreenLoader::PleaseWait::kNone);
}

void LibraryLevels::LoadData(LibraryLevel level, long requested, int selectAfter) {
    SlimConnection* server = m_context.server;
    EListView& list = List(level);
    LevelData& data = m_data[Index(level)];
    const bool playlist = level == LibraryLevel::kPlaylist;
    const int visible = list.VisibleItemCount();
    // One row goes to "All" except in the playlist.
    const unsigned long pageSize = static_cast<unsigned long>(std::max(1, playlist ? visible : visible - 1));
    const unsigned long genre = SelectedId(LibraryLevel::kGenre);
    const unsigned long artist = SelectedId(LibraryLevel::kArtist);
    const unsigned long album = SelectedId(LibraryLevel::kAlbum);
    const bool wholeLibraryTracks = level == LibraryLevel::kTrack && genre == 0 && artist == 0 && album == 0;

    unsigned long page;
    {
        std::lock_guard lock(m_lock);
        data.paging.SetRowsPerPage(pageSize);
        page = data.loaded ? data.paging.Resolve(requested) : 1;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const unsigned long start = (page - 1) * pageSize;
        BrowseEntryList entries;
        SongList songs;
        unsigned long total = 0;
        if (server) {
            switch (level) {
                case LibraryLevel::kGenre: server->GetGenres(start, pageSize, entries); break;
                case LibraryLevel::kArtist: server->GetArtists(genre, start, pageSize, entries); break;
                case LibraryLevel::kAlbum: server->GetAlbums(genre, artist, start, pageSize, entries); break;
                case LibraryLevel::kTrack: server->GetTracks(genre, artist, album, start, pageSize, songs); break;
                case LibraryLevel::kPlaylist: server->GetCurrentPlaylist(start, pageSize, songs, false); break;
            }
        }
        const bool isSongs = level == LibraryLevel::kTrack || playlist;
        total = isSongs ? songs.GetTotalCount() : entries.GetTotalCount();

        std::vector<std::vector<CascadeString>> rows;
        if (!playlist) {
            rows.push_back({AllRowText(total, level), "0"});
            if (level == LibraryLevel::kTrack) rows.back() = {AllRowText(total, level), "", "0"};
        }
        bool artistShown = false;
        if (isSongs) {
            for (std::size_t i = 0; i < songs.GetNumEntries(); ++i) {
                const SongInfo* song = songs.Item(i);
                if (!song) continue;
                if (playlist) {
                    rows.push_back({song->title, song->artist, song->playlistIndex, song->songId});
                    if (!song->artist.IsEmpty() && song->artist != "N/A") artistShown = true;
                } else {
                    rows.push_back({song->title, song->artist, song->songId});
                }
            }
        } else {
            for (std::size_t i = 0; i < entries.GetNumEntries(); ++i) {
                const BrowseEntry* entry = entries.Item(i);
                if (entry) rows.push_back({entry->name, entry->id});
            }
        }

        int select;
        {
            std::lock_guard lock(m_lock);
            // The whole library's tracks are only counted: one page.
            data.paging.SetTotal(wholeLibraryTracks ? 0 : total);
            const unsigned long resolved = data.paging.Resolve(long(page));
            if (resolved != page && attempt == 0 && total > 0) {
                // The list shrank under the page: load the page the rule gives.
                page = resolved;
                continue;
            }
            data.paging.SetPage(long(page));
            data.loaded = true;
            data.total = total;
            data.label.Format("Page %lu of %lu", wholeLibraryTracks ? 1ul : page,
                              wholeLibraryTracks ? 1ul : data.paging.GetPageCount());

            const int remembered = std::max(0, list.GetSelectedIndex());
            select = selectAfter != kKeepSelection ? selectAfter : remembered;
            list.Clear(EListView::ClearMode::kRowsOnly);
            for (const auto& cells : rows) {
                EListView::ListItem* item = list.AddItem(cells[0].c_str());
                if (!item) continue;
                for (std::size_t c = 1; c < cells.size(); ++c) (void)item->SetCell(c, cells[c].c_str());
            }
            if (playlist) {
                if (EListView::Column* column = list.GetColumnByID("Artist")) column->visible = artistShown;
            }
            data.rows = std::move(rows);
            if (select >= int(data.rows.size())) select = int(data.rows.size()) - 1;
            list.SetSelectedIndex(select, EListView::RedrawMode::kNoRedraw);
        }
        break;
    }
    list.Redraw();
    if (m_owner) m_owner->Redraw(m_pageTextAreas[Index(level)]);
}

void LibraryLevels::SelectRowZero(LibraryLevel level) {
    if (!Has(level)) return;
    std::lock_guard lock(m_lock);
    List(level).SetSelectedIndex(0, EListView::RedrawMode::kRedraw);
}

void LibraryLevels::SetReloadRequest(const char* request) {
    std::lock_guard lock(m_lock);
    m_reload = request ? request : "";
}

CascadeString LibraryLevels::GetReloadRequest() const {
    std::lock_guard lock(m_lock);
    return m_reload;
}

void LibraryLevels::SetCountdown(int ticks) { m_countdown = ticks; }

void LibraryLevels::Tick() {
    if (m_countdown.load() == 0) StartReload();
    int now = m_countdown.load();
    while (now >= 0 && !m_countdown.compare_exchange_weak(now, now - 1)) {
    }
}

void LibraryLevels::StartReload() {
    Start("reload", [this](ScreenLoader& loader) { RunReload(loader); }, ScreenLoader::PleaseWait::kShow);
}

// The levels below the changed one, each from page 1 with its first row.
void LibraryLevels::RunReload(ScreenLoader& loader) {
    CascadeString request;
    {
        std::lock_guard lock(m_lock);
        request.Std().swap(m_reload.Std());  // a request made meanwhile waits for the next run
    }
    if (request.IsEmpty()) return;
    int from;
    if (request == "All")
        from = -1;
    else if (request == "Genre")
        from = Index(LibraryLevel::kGenre);
    else if (request == "Artist")
        from = Index(LibraryLevel::kArtist);
    else if (request == "Album")
        from = Index(LibraryLevel::kAlbum);
    else
        return;
    for (int i = from + 1; i <= Index(LibraryLevel::kTrack); ++i) {
        const auto level = static_cast<LibraryLevel>(i);
        if (!Has(level) || loader.IsStopping()) return;
        SelectRowZero(level);
        LoadData(level, 1, 0);
    }
}

void LibraryLevels::FlipPage(LibraryLevel level, int delta) {
    if (!Has(level)) return;
    long target;
    {
        std::lock_guard lock(m_lock);
        const LevelData& data = m_data[Index(level)];
        // The newest page asked for counts, so fast presses add up.
        const long current = data.queued ? data.wantedPage : long(data.paging.GetPage());
        target = current + delta;
        if (data.queued && data.paging.HasTotal()) target = long(data.paging.Resolve(target));
    }
    RequestPage(level, target);
    if (HasDependents(level)) {
        SetReloadRequest(LevelName(level));
        if (SelectedRow(level) != 0) SetCountdown(kReloadTicks);
    }
}

void LibraryLevels::MoveRow(LibraryLevel level, bool down) {
    if (!Has(level)) return;
    EListView& list = List(level);
    const int rows = int(list.ItemCount());
    const int row = list.GetSelectedIndex();
    if (down) {
        if (rows > 0 && row < rows - 1) {
            list.SetSelectedIndex(row + 1, EListView::RedrawMode::kRedraw);
        } else if (g_wrapAround) {
            list.SetSelectedIndex(0, EListView::RedrawMode::kRedraw);
        } else {
            long target;
            {
                std::lock_guard lock(m_lock);
                const LevelData& data = m_data[Index(level)];
                target = (data.queued ? data.wantedPage : long(data.paging.GetPage())) + 1;
            }
            RequestPage(level, target, 1);
        }
    } else {
        if (row > 0) {
            list.SetSelectedIndex(row - 1, EListView::RedrawMode::kRedraw);
        } else if (g_wrapAround) {
            list.SetSelectedIndex(rows - 1, EListView::RedrawMode::kRedraw);
        } else {
            long target;
            {
                std::lock_guard lock(m_lock);
                const LevelData& data = m_data[Index(level)];
                target = (data.queued ? data.wantedPage : long(data.paging.GetPage())) - 1;
            }
            RequestPage(level, target, kLastRow);
        }
    }
    AfterRowMove(level);
}

// After a row move the levels below reload once the user pauses; on the
// lists with nothing below, a pending reload only starts its wait again.
bool LibraryLevels::AfterRowMove(LibraryLevel level) {
    if (HasDependents(level)) {
        SetReloadRequest(LevelName(level));
        SetCountdown(kReloadTicks);
        return true;
    }
    if (!GetReloadRequest().IsEmpty() && GetCountdown() >= 0) SetCountdown(kReloadTicks);
    return false;
}

bool LibraryLevels::HasDependents(LibraryLevel level) const {
    return Index(level) <= Index(LibraryLevel::kAlbum) && Index(level) < Index(m_deepest);
}

char LibraryLevels::GetStartLetter(const char* name) const {
    std::shared_ptr<const ETokenArray> ignores;
    if (m_context.server) ignores = m_context.server->GetIgnores(false);
    return LetterJump::StartLetter(name, ignores.get());
}

void LibraryLevels::Jump(LibraryLevel level, bool forward) {
    if (!Has(level) || Index(level) > Index(LibraryLevel::kAlbum)) return;
    Start(
        forward ? "next" : "previous", [this, level, forward](ScreenLoader& loader) { RunJump(level, forward, loader); },
        ScreenLoader::PleaseWait::kNone);
}

void LibraryLevels::RunJump(LibraryLevel level, bool forward, ScreenLoader& loader) {
    SlimConnection* server = m_context.server;
    if (!server) return;
    unsigned long page, pageCount, pageSize;
    CascadeString name;
    {
        std::lock_guard lock(m_lock);
        const LevelData& data = m_data[Index(level)];
        if (!data.loaded || data.rows.size() < 2) return;
        page = data.paging.GetPage();
        pageCount = data.paging.GetPageCount();
        pageSize = data.paging.GetRowsPerPage();
        if (forward && page >= pageCount) return;
        if (!forward && (page < 2 || pageCount < 2)) return;
        name = forward ? data.rows.back()[0] : data.rows[1][0];
    }
    const unsigned long genre = SelectedId(LibraryLevel::kGenre);
    const unsigned long artist = SelectedId(LibraryLevel::kArtist);
    const char start = GetStartLetter(name.c_str());
    const std::optional<char> first = forward ? LetterJump::ForwardLetter(start) : LetterJump::BackwardLetter(start);
    const long from = forward ? LetterJump::ForwardSearchStart(page, pageSize)
                              : LetterJump::BackwardSearchStart(page, pageCount, pageSize);
    const auto direction = forward ? SlimConnection::Direction::Forward : SlimConnection::Direction::Backward;
    const auto size = static_cast<unsigned short>(std::min(pageSize, 65535ul));
    long index = -1;
    int searches = 0;
    if (first) {
        for (int letter = *first; forward ? letter <= 'z' : letter >= 'a'; letter += forward ? 1 : -1) {
            if (loader.IsStopping()) return;
            ++searches;
            const char c = static_cast<char>(letter);
            switch (level) {
                case LibraryLevel::kGenre: index = server->GetGenreStartIndex(c, from, size, direction); break;
                case LibraryLevel::kArtist: index = server->GetArtistStartIndex(genre, c, from, size, direction); break;
                default: index = server->GetAlbumStartIndex(genre, artist, c, from, size, direction); break;
            }
            if (index >= 0) break;
        }
    }
    m_lastJumpSearches = searches;
    // Closed (or left for another load) during the search: the answer
    // belongs to a list that is no longer shown, and a browser opened again
    // starts on page 1.
    if (loader.IsStopping()) return;
    const unsigned long target =
        !first ? 1ul : (forward ? LetterJump::ForwardPage(index, pageSize) : LetterJump::BackwardPage(index, pageSize));
    AppLog::WriteToLog("library: %s jump from \"%s\" (%c): index %ld, page %lu\n", false, forward ? "next" : "previous",
                       name.c_str(), start, index, target);
    LoadData(level, long(target), kKeepSelection);
    if (!HasDependents(level)) return;
    SetReloadRequest(LevelName(level));
    if (SelectedRow(level) != 0) SetCountdown(kReloadTicks);
}

void LibraryLevels::StopLoading() {
    if (m_loader) m_loader->Cancel();
    std::lock_guard lock(m_lock);
    for (LevelData& data : m_data) data.queued = false;
}

void LibraryLevels::Join() {
    if (m_loader) m_loader->Join();
}

bool LibraryLevels::WaitUntilIdle(unsigned long timeoutMs) { return !m_loader || m_loader->WaitUntilIdle(timeoutMs); }

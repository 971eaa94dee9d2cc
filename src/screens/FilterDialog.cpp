#include "screens/FilterDialog.h"

#include "app/base/AppActivity.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"

#include <algorithm>

namespace {

constexpr CascadeColor kPanelColor{0x000000A5u};
constexpr CascadeColor kStripColor{0x000000D2u};
constexpr unsigned long kPageTextFlags = 0x21;
constexpr unsigned long kTickMs = 250;
constexpr CascadePoint kTitleAt{18, 9};
constexpr CascadeRect kGenrePanel{19, 52, 255, 160};
constexpr CascadeRect kArtistPanel{289, 52, 255, 160};
constexpr CascadePoint kGenreHeaderAt{29, 54};
constexpr CascadePoint kArtistHeaderAt{299, 54};
constexpr CascadeRect kGenrePageText{19, 52, 240, 25};
constexpr CascadeRect kArtistPageText{290, 52, 240, 25};
constexpr CascadeRect kGenreList{34, 82, 225, 128};
constexpr CascadeRect kArtistList{304, 82, 225, 128};
constexpr CascadePoint kApplyAt{372, 220};

CascadeBitmap Panel(const CascadeDims& dims) {
    CascadeBitmap panel;
    if (!panel.Create(dims, CascadeBitmap::kRamVideo)) return panel;
    panel.Clear(kPanelColor);
    panel.FillRect({0, 0, dims.w, 25}, kStripColor);
    return panel;
}

}  // namespace

FilterDialog::FilterDialog() = default;

FilterDialog::~FilterDialog() {
    if (m_timerId) KillTimer(m_timerId);
    m_levels.Join();
}

void FilterDialog::Attach(const ScreenContext& context) {
    m_context = context;
    m_levels.Attach(context, this);
}

void FilterDialog::LoadBitmaps() {
    if (m_bitmapsLoaded) return;
    DialogImages::Load(m_title, "images/title_filter.png");
    DialogImages::Load(m_genreHeader, "images/header_genres.png");
    DialogImages::Load(m_artistHeader, "images/header_artists.png");
    DialogImages::Load(m_applyText, "images/text_apply.png");
    m_genrePanel = Panel(kGenrePanel.Dims());
    m_artistPanel = Panel(kArtistPanel.Dims());
    m_bitmapsLoaded = true;
}

void FilterDialog::ShowDialog(Client* client) {
    m_client = client;
    m_cancelled = false;
    LoadBitmaps();
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetLargeDialogBackground()));
    Materialize(2);
}

void FilterDialog::LayOut() {
    m_titleRect = DialogImages::PlaceAt(m_title, kTitleAt);
    // A skin's title taller than the room above the panels (its accent bar
    // would cross the page texts) is cut where the panels begin.
    m_titleRect.h = std::min(m_titleRect.h, kGenrePanel.y - kTitleAt.y);
    m_genreHeaderRect = DialogImages::PlaceAt(m_genreHeader, kGenreHeaderAt);
    m_artistHeaderRect = DialogImages::PlaceAt(m_artistHeader, kArtistHeaderAt);
    m_genrePanelRect = kGenrePanel;
    m_artistPanelRect = kArtistPanel;
    m_listFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 22 : 18);
    m_smallFont = CascadeFont("system", CascadeFont::kNormal, g_useLargeFont ? 16 : 14);
    const int rowHeight = g_useLargeFont ? 25 : 21;
    m_levels.SetPageTextArea(LibraryLevel::kGenre, kGenrePageText);
    m_levels.SetPageTextArea(LibraryLevel::kArtist, kArtistPageText);
    const std::pair<LibraryLevel, CascadeRect> lists[] = {{LibraryLevel::kGenre, kGenreList},
                                                          {LibraryLevel::kArtist, kArtistList}};
    for (const auto& [level, rect] : lists) {
        m_levels.SetUpList(level, m_listFont, rowHeight);
        EListView& list = m_levels.List(level);
        list.SetRectRelative(rect);
        AddChild(&list);
        list.Materialize();
    }
    const CascadeDims face = DialogImages::Size(*g_config.GetButtonActive());
    m_apply.SetImage(&m_applyText);
    m_apply.SetRectRelative({kApplyAt.x, kApplyAt.y, face.w, face.h});
    AddChild(&m_apply);
    m_apply.Materialize();
    m_laidOut = true;
}

void FilterDialog::OnMaterialize() {
    if (!m_laidOut) LayOut();
    m_levels.SetReloadRequest("All");
    m_focus.Remember();
    m_levels.List(LibraryLevel::kGenre).SetFocus();
}

void FilterDialog::OnMaterialized() {
    m_levels.Reset();
    m_levels.SetCountdown(0);  // the first tick loads both lists
    if (!m_timerId) m_timerId = SetTimer(kTickMs);
}

void FilterDialog::OnVanish() {
    if (m_timerId) KillTimer(m_timerId);
    m_timerId = 0;
    m_levels.StopLoading();
    m_focus.Restore();
    Client* client = m_client;
    m_client = nullptr;
    if (!m_cancelled && client) {
        const CascadeString genreName = m_levels.SelectedCell(LibraryLevel::kGenre, 0);
        const CascadeString artistName = m_levels.SelectedCell(LibraryLevel::kArtist, 0);
        client->OnFilterResult(m_levels.SelectedId(LibraryLevel::kGenre), genreName.c_str(),
                               m_levels.SelectedId(LibraryLevel::kArtist), artistName.c_str());
    }
    m_levels.List(LibraryLevel::kGenre).SetSelectedIndex(0, EListView::RedrawMode::kNoRedraw);
    m_levels.List(LibraryLevel::kArtist).SetSelectedIndex(0, EListView::RedrawMode::kNoRedraw);
}

void FilterDialog::OnTimer(unsigned long id) {
    if (id == m_timerId) m_levels.Tick();
}

void FilterDialog::MoveFocus(bool right) {
    // genre -> artist -> button -> genre
    CascadeWindow* order[] = {&m_levels.List(LibraryLevel::kGenre), &m_levels.List(LibraryLevel::kArtist), &m_apply};
    int current = 0;
    for (int i = 0; i < 3; ++i)
        if (order[i]->IsFocus()) current = i;
    order[(current + (right ? 1 : 2)) % 3]->SetFocus();
}

bool FilterDialog::OnNavKey(unsigned long key, CascadeWindow*& next) {
    AppActivity::NotifyActivity(key);
    next = nullptr;
    const std::optional<LibraryLevel> level = m_levels.FocusedLevel();
    switch (key) {
        case CascadeKeys::kUp:
        case CascadeKeys::kDown:
            if (level) m_levels.MoveRow(*level, key == CascadeKeys::kDown);
            break;
        case CascadeKeys::kLeft: MoveFocus(false); break;
        case CascadeKeys::kRight: MoveFocus(true); break;
        default: break;
    }
    return true;
}

bool FilterDialog::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    const std::optional<LibraryLevel> level = m_levels.FocusedLevel();
    switch (key) {
        case CascadeKeys::kSelect:
            if (m_apply.IsFocus())
                Vanish();
            else
                m_apply.SetFocus();
            break;
        case CascadeKeys::kExit:
            m_cancelled = true;
            Vanish();
            break;
        case CascadeKeys::kNext:
        case CascadeKeys::kPrevious:
            if (level) m_levels.Jump(*level, key == CascadeKeys::kNext);
            break;
        case CascadeKeys::kZoomIn:
        case CascadeKeys::kZoomOut:
            if (level) m_levels.FlipPage(*level, key == CascadeKeys::kZoomIn ? -1 : +1);
            break;
        default: break;
    }
    return true;
}

void FilterDialog::OnPaint(CascadeBitmap& target) {
    const CascadeRect area = target.GetClip().MakeIntersectRect(CascadeRect({0, 0}, GetDims()));
    if (const CascadeBitmap* background = g_config.GetLargeDialogBackground(); background && background->IsValid())
        target.DrawBitmap(*background, area.Origin(), area);
    auto part = [&](const CascadeBitmap& bitmap, const CascadeRect& where) {
        DialogImages::DrawPart(target, bitmap, where, area);
    };
    part(m_genrePanel, m_genrePanelRect);
    part(m_artistPanel, m_artistPanelRect);
    part(m_genreHeader, m_genreHeaderRect);
    part(m_artistHeader, m_artistHeaderRect);
    part(m_title, m_titleRect);
    for (LibraryLevel level : {LibraryLevel::kGenre, LibraryLevel::kArtist}) {
        const CascadeRect text = m_levels.GetPageTextArea(level);
        if (!area.IntersectRect(text)) continue;
        const LibraryLevels::PageState state = m_levels.GetPageState(level);
        if (!state.label.IsEmpty()) target.DrawText(m_listFont, text, state.label.View(), g_fgColor, kPageTextFlags);
    }
}

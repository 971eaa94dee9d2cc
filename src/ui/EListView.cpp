#include "ui/EListView.h"

#include "ui/Configuration.h"
#include "ui/EUtilsDrawing.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace {

CascadeFont SystemFontFor(int pixels) { return CascadeFont("system", CascadeFont::kNormal, pixels * 3 / 4); }

}  // namespace

const char* EListView::ListItem::GetCell(std::size_t index) const {
    return index < cells.size() ? cells[index].c_str() : "";
}

bool EListView::ListItem::SetCell(std::size_t index, const char* text) {
    if (index >= cells.size()) return false;
    cells[index] = text;
    return true;
}

EListView::EListView() {
    const CascadeString dir = g_config.GetApplicationDirectory();
    (void)EUtils::LoadBitmapFromFile(m_upArrow, (dir + "images/arrow_up.png").c_str(), "");
    (void)EUtils::LoadBitmapFromFile(m_downArrow, (dir + "images/arrow_down.png").c_str(), "");
}

EListView::~EListView() { Clear(ClearMode::kRowsAndColumns); }

EListView::Column* EListView::AddColumn(const char* id, const char* title, ColumnVisibility visible, int width,
                                        unsigned long flags) {
    std::lock_guard lock(m_lock);
    auto column = std::make_unique<Column>();
    column->id = id;
    column->title = title;
    column->visible = visible == ColumnVisibility::kVisible;
    column->width = width;
    column->flags = flags;
    m_columns.push_back(std::move(column));
    return m_columns.back().get();
}

EListView::Column* EListView::GetColumn(std::size_t index) const {
    std::lock_guard lock(m_lock);
    return index < m_columns.size() ? m_columns[index].get() : nullptr;
}

EListView::Column* EListView::GetColumnByID(const char* id) const {
    std::lock_guard lock(m_lock);
    for (const auto& column : m_columns)
        if (column->id == id) return column.get();
    return nullptr;
}

EListView::ListItem* EListView::AddItem(const char* text) {
    std::lock_guard lock(m_lock);
    auto item = std::make_unique<ListItem>();
    if (text) item->cells.emplace_back(text);
    while (item->cells.size() < m_columns.size()) item->cells.emplace_back();
    m_items.push_back(std::move(item));
    CalculateItemRects();
    return m_items.back().get();
}

void EListView::StopLoader() {
    m_stopLoader = true;
    m_iconRequests.Cancel();
    WaitUntilFinished();
    m_stopLoader = false;
}

void EListView::Clear(ClearMode mode) {
    StopLoader();
    std::unique_lock lock(m_lock, std::try_to_lock);
    if (!lock.owns_lock()) {
        OnWaitingForPaint();
        lock.lock();
    }
    if (mode == ClearMode::kRowsAndColumns) m_columns.clear();
    m_items.clear();
    m_iconDims = {};
    m_start = 0;
}

void EListView::OnWaitingForPaint() { std::printf("** waiting for paint to complete before clearing list **\n"); }

std::size_t EListView::ItemCount() const {
    std::lock_guard lock(m_lock);
    return m_items.size();
}

EListView::ListItem* EListView::GetItem(int index) const {
    std::lock_guard lock(m_lock);
    return index >= 0 && std::size_t(index) < m_items.size() ? m_items[std::size_t(index)].get() : nullptr;
}

EListView::ListItem* EListView::GetSelectedItem() const { return GetItem(m_selected.load()); }

void EListView::RedrawList() {
    if (!m_paintedOnce) return;
    if (CascadeWindow* parent = GetParent()) {
        const CascadeRect mine = GetRectAbsolute(), theirs = parent->GetRectAbsolute();
        parent->Redraw(mine.Offset(-theirs.x, -theirs.y));
        return;
    }
    Redraw();
}

void EListView::SetSelectedIndex(int index, RedrawMode redraw) {
    std::unique_lock lock(m_lock);
    const int count = int(m_items.size());
    int selection = index < -1 ? 0 : index;
    if (selection >= count) selection = count - 1;
    m_selected = selection;
    if (ScrollToSelectionLocked(selection)) return;  // SetStartIndex redrew
    lock.unlock();
    if (redraw == RedrawMode::kRedraw) RedrawList();
}

bool EListView::ScrollToSelectionLocked(int selection) {
    // No selection (-1) lies before every row: the list goes back to its top.
    if (selection < 0) {
        SetStartIndex(0);
        return true;
    }
    const int visible = VisibleItemCountLocked();
    const int lastVisible = m_start + visible - 1;
    const int columns = m_viewMode == kList ? 1 : std::max(VisibleColumnCount(), 1);
    if (selection > lastVisible) {
        SetStartIndex(m_viewMode == kList ? selection - lastVisible + m_start
                                          : m_start + columns * ((selection - lastVisible + columns - 1) / columns));
        return true;
    }
    if (selection < m_start) {
        SetStartIndex(m_viewMode == kList ? selection
                                          : m_start - columns * ((m_start - selection + columns - 1) / columns));
        return true;
    }
    return false;
}

void EListView::SetStartIndex(int index) {
    {
        std::lock_guard lock(m_lock);
        m_start = index >= 0 && std::size_t(index) < m_items.size() ? index : 0;
        CalculateItemRects();
    }
    RedrawList();
}

void EListView::MeasureRowHeightLocked() {
    if (m_rowHeight != 0) return;
    m_rowHeight = m_itemFont.GetTextExtent("Wj").h + 5;
    if (!m_itemFontSet) m_itemFont = SystemFontFor(m_rowHeight);
}

int EListView::HeaderHeightLocked() {
    if (!m_showHeaders) return 0;
    MeasureRowHeightLocked();
    if (m_headerHeight == 0) {
        m_headerHeight = m_rowHeight;
        if (!m_headerFontSet) m_headerFont = SystemFontFor(m_headerHeight);
    }
    return m_headerHeight;
}

int EListView::VisibleItemCount() {
    std::lock_guard lock(m_lock);
    return VisibleItemCountLocked();
}

int EListView::VisibleItemCountLocked() {
    MeasureRowHeightLocked();
    const CascadeDims dims = GetDims();
    const int header = HeaderHeightLocked();
    if (m_viewMode == kList) return m_rowHeight > 0 ? std::max(dims.h - header, 0) / m_rowHeight : 0;
    const CascadeDims cell = m_viewMode == kSmallThumbnails ? CascadeDims{157, 128} : CascadeDims{190, 195};
    return (dims.w / cell.w) * (std::max(dims.h - header, 0) / cell.h);
}

int EListView::VisibleColumnCount() const {
    if (m_viewMode == kList) return 0;
    return GetDims().w / (m_viewMode == kSmallThumbnails ? 157 : 190);
}

void EListView::ShowHeaders(bool show) {
    {
        std::lock_guard lock(m_lock);
        m_showHeaders = show;
    }
    RedrawList();
}

void EListView::ShowIcons(bool show) {
    {
        std::lock_guard lock(m_lock);
        m_showIcons = show;
        CalculateColumnWidths();
    }
    RedrawList();
}

void EListView::SetRowHeight(int height) {
    std::lock_guard lock(m_lock);
    m_rowHeight = std::max(height, 0);
    if (!m_itemFontSet) m_itemFont = SystemFontFor(m_rowHeight);
}

void EListView::SetHeaderHeight(int height) {
    std::lock_guard lock(m_lock);
    m_headerHeight = std::max(height, 0);
    if (!m_headerFontSet) m_headerFont = SystemFontFor(m_headerHeight);
}

void EListView::SetItemFont(const CascadeFont& font) {
    std::lock_guard lock(m_lock);
    m_itemFont = font;
    m_itemFontSet = true;
}

void EListView::SetHeaderFont(const CascadeFont& font) {
    std::lock_guard lock(m_lock);
    m_headerFont = font;
    m_headerFontSet = true;
}

void EListView::SetCaptionFont(const CascadeFont& font) {
    std::lock_guard lock(m_lock);
    m_captionFont = font;
    m_captionFontSet = true;
}

void EListView::SetTextColors(const CascadeColor& text, const CascadeColor& shadow) {
    m_text = text;
    m_textShadow = shadow;
}

void EListView::CalculateColumnWidths() {
    std::lock_guard lock(m_lock);
    int available = GetDims().w;
    if (m_showIcons) {
        MeasureRowHeightLocked();
        if (m_iconWidth == -1) m_iconWidth = m_rowHeight;
        available -= m_iconWidth;
    }
    if (std::size_t(VisibleItemCountLocked()) < m_items.size()) available -= kArrowMargin;
    int shared = 0;
    for (const auto& column : m_columns) {
        if (!column->visible) continue;
        if (column->width == -1) {
            ++shared;
            continue;
        }
        column->computedWidth = column->width;
        available -= column->width;
    }
    const int share = shared > 0 ? std::max(available, 0) / shared : 0;
    for (const auto& column : m_columns)
        if (column->visible && column->width == -1) column->computedWidth = share;
}

void EListView::CalculateItemRects() {
    std::lock_guard lock(m_lock);
    if (m_viewMode != kList) {
        CalculateThumbnailRectsLocked();
        return;
    }
    const CascadeDims dims = GetDims();
    MeasureRowHeightLocked();
    const int header = HeaderHeightLocked();
    m_headerRect = {0, 0, dims.w, header};
    const int iconWidth = m_iconWidth == -1 ? m_rowHeight : m_iconWidth;
    int y = header;
    for (std::size_t i = std::size_t(m_start); i < m_items.size(); ++i) {
        ListItem& item = *m_items[i];
        item.itemRect = {0, y, dims.w, m_rowHeight};
        item.iconRect = {0, y + 1, iconWidth, m_rowHeight - 2};
        if (m_iconDims.IsEmpty()) m_iconDims = {iconWidth, m_rowHeight - 2};
        y += m_rowHeight;
    }
}

void EListView::CalculateThumbnailRectsLocked() {
    const CascadeDims dims = GetDims();
    const CascadeDims cell = m_viewMode == kSmallThumbnails ? CascadeDims{157, 128} : CascadeDims{190, 195};
    const int header = HeaderHeightLocked();
    m_headerRect = {0, 0, dims.w, header};
    const int columns = std::max(dims.w / cell.w, 1);
    int x = 0, y = header, column = 0;
    for (std::size_t i = std::size_t(m_start); i < m_items.size(); ++i) {
        ListItem& item = *m_items[i];
        item.itemRect = {x, y, cell.w, cell.h};
        item.iconRect = {x, y + 2, cell.w, cell.h - 27};
        if (m_iconDims.IsEmpty()) m_iconDims = {cell.w, cell.h - 27};
        if (++column == columns) {
            column = 0;
            x = 0;
            y += cell.h + 2;
        } else {
            x += cell.w;
        }
    }
}

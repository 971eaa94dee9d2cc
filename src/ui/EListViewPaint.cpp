// Painting and the icon loader of EListView.
#include "ui/EListView.h"

#include "server/EUtils.h"
#include "ui/EJpegWidget.h"
#include "ui/EUtilsDrawing.h"

#include <mutex>

namespace {

constexpr unsigned long kCellFlags = 0x101;     // ellipsis, centred vertically
constexpr unsigned long kCaptionFlags = 0x103;  // and centred horizontally
constexpr CascadeColor kOpaqueBlack(0x000000FFu);

// `bitmap` centred in `box` the way the box's own task view does it.
CascadePoint CentredIn(const CascadeRect& box, const CascadeDims& bitmap) {
    return {box.x + (box.w - 1) / 2 - (bitmap.w - 1) / 2, box.y + (box.h - 1) / 2 - (bitmap.h - 1) / 2};
}

}  // namespace

struct EListView::RowLook {
    CascadeColor background, text, shadow;
};

void EListView::OnPaint(CascadeBitmap& target) {
    std::lock_guard lock(m_lock);
    m_paintedOnce = true;
    const CascadeRect area = target.GetClip().MakeIntersectRect({{0, 0}, GetDims()});
    CalculateColumnWidths();
    CalculateItemRects();
    // The target clips; a header only partly in the area is drawn clipped.
    if (m_showHeaders && area.IntersectRect(m_headerRect)) PaintHeaderLocked(target, area);
    for (std::size_t i = std::size_t(m_start); i < m_items.size(); ++i) {
        ListItem& item = *m_items[i];
        const bool whole = area.Contains(item.itemRect);
        if (whole || (!m_paintWholeItemsOnly && area.IntersectRect(item.itemRect))) {
            if (m_viewMode == kList) PaintRowLocked(target, item, int(i), area);
            else PaintThumbnailLocked(target, item, int(i));
        } else if (m_showIcons && area.Contains(item.iconRect)) {
            PaintIconLocked(target, item);
        }
    }
    PaintArrowsLocked(target, area);
}

void EListView::PaintHeaderLocked(CascadeBitmap& target, const CascadeRect&) {
    int x = m_showIcons ? std::max(m_iconWidth, 0) : 0;
    for (const auto& column : m_columns) {
        if (!column->visible) continue;
        const CascadeRect cell(x, m_headerRect.y, column->computedWidth, m_headerRect.h);
        EUtils::ShadowedDrawText(target, m_headerFont, cell, column->title.c_str(), m_text, column->flags | kCellFlags,
                                 1, m_textShadow, EUtils::kDownRight, EUtils::ShadowSteps::kAll);
        x += column->computedWidth;
    }
}

void EListView::PaintRowLocked(CascadeBitmap& target, ListItem& item, int index, const CascadeRect&) {
    RowLook look{m_background, m_text, m_textShadow};
    if (index == m_selected.load()) {
        const bool focus = IsFocus();
        look = {focus ? m_selection : m_inactiveSelection, focus ? m_selectionText : m_inactiveSelectionText,
                kOpaqueBlack};
    }
    if (look.background.Alpha() != 0) target.FillRect(item.itemRect, look.background);
    int x = item.itemRect.x;
    if (m_showIcons) {
        if (item.listIcon && item.listIcon->IsValid())
            target.DrawBitmap(*item.listIcon, CentredIn(item.iconRect, item.listIcon->GetDims()));
        PaintIconLocked(target, item);
        x += std::max(m_iconWidth, 0);
    }
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        const Column& column = *m_columns[c];
        if (!column.visible) continue;
        if (c < item.cells.size()) {
            const CascadeRect cell(x, item.itemRect.y, column.computedWidth, item.itemRect.h);
            EUtils::ShadowedDrawText(target, m_itemFont, cell, item.cells[c].c_str(), look.text,
                                     column.flags | kCellFlags, 1, look.shadow, EUtils::kDownRight,
                                     EUtils::ShadowSteps::kAll);
        }
        x += column.computedWidth;
    }
}

void EListView::PaintThumbnailLocked(CascadeBitmap& target, ListItem& item, int index) {
    CascadeColor background = m_background;
    if (index == m_selected.load()) background = IsFocus() ? m_selection : m_inactiveSelection;
    if (background.Alpha() != 0) target.FillRect(item.itemRect, background);
    PaintIconLocked(target, item);
    const CascadeBitmap* placeholder = m_viewMode == kSmallThumbnails ? item.smallThumb : item.largeThumb;
    if (!item.loadedIcon && placeholder && placeholder->IsValid())
        target.DrawBitmap(*placeholder, CentredIn(item.iconRect, placeholder->GetDims()));
    const CascadeRect caption(item.itemRect.x + 2, item.itemRect.Bottom() - 25, item.itemRect.w - 4, 25);
    target.DrawText(m_captionFont, caption, item.GetCell(0), m_text, kCaptionFlags);
}

void EListView::PaintIconLocked(CascadeBitmap& target, ListItem& item) {
    if (!item.pendingPixels.empty()) {
        auto icon = std::make_unique<CascadeBitmap>();
        if (icon->Create(item.pendingDims) &&
            EUtils::BufferBlit(*icon, {0, 0}, item.pendingPixels.data(), item.pendingDims, 32, {}))
            item.loadedIcon = std::move(icon);
        item.pendingPixels.clear();
        item.pendingPixels.shrink_to_fit();
    }
    if (!item.loadedIcon) return;
    const CascadeDims d = item.loadedIcon->GetDims();
    target.DrawBitmap(*item.loadedIcon,
                      {item.iconRect.x + item.iconRect.w / 2 - d.w / 2, item.iconRect.y + item.iconRect.h / 2 - d.h / 2});
}

void EListView::PaintArrowsLocked(CascadeBitmap& target, const CascadeRect& area) {
    const CascadeDims dims = GetDims();
    if (m_start > 0 && m_upArrow.IsValid()) {
        const CascadeDims a = m_upArrow.GetDims();
        const CascadeRect at(dims.w - a.w - 3, (m_showHeaders ? m_headerHeight : 0) + 3, a.w, a.h);
        if (area.IntersectRect(at)) target.DrawBitmap(m_upArrow, at.Origin());
    }
    if (std::size_t(m_start + VisibleItemCountLocked()) < m_items.size() && m_downArrow.IsValid()) {
        const CascadeDims a = m_downArrow.GetDims();
        const CascadeRect at(dims.w - a.w - 3, dims.h - a.h - 3, a.w, a.h);
        if (area.IntersectRect(at)) target.DrawBitmap(m_downArrow, at.Origin());
    }
}

void EListView::DropIconsLocked() {
    for (const auto& item : m_items) {
        item->loadedIcon.reset();
        item->pendingPixels.clear();
    }
    m_iconDims = {};
}

void EListView::SetViewMode(ViewMode mode) {
    if (mode == m_viewMode || mode > kLargeThumbnails) return;
    StopLoader();
    {
        std::lock_guard lock(m_lock);
        m_viewMode = mode;
        m_start = 0;
        DropIconsLocked();
        CalculateItemRects();
        CalculateColumnWidths();
        if (mode != kList && !m_captionFontSet) m_captionFont = CascadeFont("system", CascadeFont::kNormal, 19);
    }
    RedrawList();
    StartIconLoading();
}

void EListView::StartIconLoading() { m_iconRequests.Post(*this, "icons"); }

void EListView::ClearIcons() {
    StopLoader();
    std::lock_guard lock(m_lock);
    DropIconsLocked();
}

void EListView::ThreadProc() {
    while (m_iconRequests.Next()) {
        int start = 0, count = 0;
        {
            std::lock_guard lock(m_lock);
            start = m_start;
            count = int(m_items.size());
        }
        // Rows from the first one shown, then the rows above it; a newer
        // request starts over from the rows it sees.
        auto wanted = [this] { return !m_stopLoader && !m_iconRequests.IsOvertaken(); };
        for (int i = start; i < count && wanted(); ++i) LoadJpegIcon(i);
        for (int i = 0; i < start && wanted(); ++i) LoadJpegIcon(i);
    }
}

void EListView::LoadJpegIcon(int index) {
    CascadeString path;
    CascadeDims box;
    {
        std::lock_guard lock(m_lock);
        ListItem* item = index >= 0 && std::size_t(index) < m_items.size() ? m_items[std::size_t(index)].get() : nullptr;
        if (!item || item->loadedIcon || !item->pendingPixels.empty() || item->iconPath.IsEmpty()) return;
        path = item->iconPath;
        box = m_iconDims;
    }
    const uint64_t bytes = EUtils::GetFileSize(path.c_str());
    if (bytes == 0 || bytes >= kMaxIconFileBytes) return;
    std::vector<uint8_t> pixels;
    CascadeDims size;
    if (!EJpegWidget::GetJpegBitmap(path.c_str(), box, size, pixels, EJpegWidget::PixelOrder::kAlphaFirst)) return;
    {
        std::lock_guard lock(m_lock);
        if (std::size_t(index) >= m_items.size()) return;
        ListItem& item = *m_items[std::size_t(index)];
        item.pendingPixels = std::move(pixels);
        item.pendingDims = size;
    }
    OnIconDecoded(index);
}

void EListView::OnIconDecoded(int index) {
    CascadeRect rect;
    {
        std::lock_guard lock(m_lock);
        if (std::size_t(index) >= m_items.size()) return;
        rect = m_items[std::size_t(index)]->itemRect;
    }
    Redraw(rect);
}

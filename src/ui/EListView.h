#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeColor.h"
#include "platform/CascadeDims.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeMutex.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeThread.h"
#include "platform/CascadeWindow.h"
#include "ui/LatestRequest.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// The list widget: named columns, rows of text cells, a start index (first
// row shown) and a selection that scrolling keeps visible; painted with an
// optional header strip, optional row icons, focus-dependent highlight
// colours, shadowed text and scroll arrows. Keys are the owner's business.
//
// Threads: screens fill lists from their worker threads while the UI thread
// paints. Every operation that reads or changes rows takes the list's lock;
// OnPaint holds it for the whole paint, so Clear from a worker waits for a
// paint under way (saying so once). Pointers from AddItem/GetItem stay valid
// until the next Clear. The icon loader thread ("icons") decodes JPEG row
// icons for the thumbnail layouts.
class EListView : public CascadeWindow, public CascadeThread {
public:
    enum ViewMode : uint32_t { kList = 0, kSmallThumbnails = 1, kLargeThumbnails = 2 };
    enum class ColumnVisibility { kHidden, kVisible };
    enum class RedrawMode { kNoRedraw, kRedraw };
    enum class ClearMode { kRowsOnly, kRowsAndColumns };

    // Icon files this large or larger are never decoded.
    static constexpr uint64_t kMaxIconFileBytes = 200000;
    // Room kept for the scroll arrows when the rows do not all fit.
    static constexpr int kArrowMargin = 30;

    struct Column {
        CascadeString id;
        CascadeString title;
        unsigned long flags = 0;  // CascadeTextFlags OR-ed into every draw
        bool visible = true;      // hidden columns keep their cells but take no room
        int width = -1;           // fixed pixels, or -1 for a share of what is left
        int computedWidth = 0;    // set by CalculateColumnWidths
    };

    struct ListItem {
        virtual ~ListItem() = default;
        // The cell text of column `index`; "" when there is none.
        const char* GetCell(std::size_t index) const;
        // Replaces the cell of column `index`; false when out of range.
        bool SetCell(std::size_t index, const char* text);

        const CascadeBitmap* listIcon = nullptr;   // not owned
        const CascadeBitmap* smallThumb = nullptr;  // placeholders, not owned
        const CascadeBitmap* largeThumb = nullptr;
        std::unique_ptr<CascadeBitmap> loadedIcon;
        CascadeString iconPath;  // JPEG for this row; empty for none
        std::vector<CascadeString> cells;
        CascadeString data;  // free for the owner
        uint32_t userValue = 0;
        CascadeRect itemRect;  // in list coordinates, set by CalculateItemRects
        CascadeRect iconRect;
        CascadeDims pendingDims;            // decoded by the loader thread,
        std::vector<uint8_t> pendingPixels;  // turned into loadedIcon by OnPaint
    };

    // Loads the arrow images "images/arrow_up.png" and "images/arrow_down.png"
    // of the application directory; missing files leave them undrawn.
    EListView();
    // Stops the icon loader and deletes rows and columns.
    ~EListView() override;

    // Any thread. Null id or title gives "". The list owns the column.
    Column* AddColumn(const char* id, const char* title, ColumnVisibility visible, int width, unsigned long flags);
    Column* GetColumn(std::size_t index) const;     // null when out of range
    Column* GetColumnByID(const char* id) const;    // first match, or null

    // Any thread. A row whose first cell is `text` (none for null), padded
    // with empty cells to the column count. The list owns it.
    ListItem* AddItem(const char* text);
    // Any thread. Removes every row (and every column with kRowsAndColumns)
    // after the icon loader has stopped and any paint under way has ended.
    // The start index goes back to 0; the selection is left for the caller.
    void Clear(ClearMode mode);

    std::size_t ItemCount() const;
    ListItem* GetItem(int index) const;  // null when out of range
    int GetSelectedIndex() const { return m_selected.load(); }  // -1 = none
    ListItem* GetSelectedItem() const;
    // Clamps to the rows (below -1 gives 0; past the end gives the last) and
    // scrolls so the selection shows; a scroll always redraws. -1 clears the
    // selection and scrolls back to the first row.
    void SetSelectedIndex(int index, RedrawMode redraw);
    // An index past the rows gives 0. Redraws.
    void SetStartIndex(int index);
    int GetStartIndex() const { return m_start; }

    int VisibleItemCount();
    int VisibleColumnCount() const;

    void ShowHeaders(bool show);
    void ShowIcons(bool show);
    // Also sets the item font to "system" at 3/4 of `height` unless a font
    // was set explicitly.
    void SetRowHeight(int height);
    int GetRowHeight() const { return m_rowHeight; }
    void SetHeaderHeight(int height);
    void SetIconWidth(int width) { m_iconWidth = width; }
    void SetPaintWholeItemsOnly(bool whole) { m_paintWholeItemsOnly = whole; }
    void SetItemFont(const CascadeFont& font);
    void SetHeaderFont(const CascadeFont& font);
    void SetCaptionFont(const CascadeFont& font);

    void SetBackgroundColor(const CascadeColor& c) { m_background = c; }
    void SetSelectionColor(const CascadeColor& c) { m_selection = c; }
    void SetInactiveSelectionColor(const CascadeColor& c) { m_inactiveSelection = c; }
    void SetTextColors(const CascadeColor& text, const CascadeColor& shadow);
    void SetSelectionTextColor(const CascadeColor& c) { m_selectionText = c; }
    void SetInactiveSelectionTextColor(const CascadeColor& c) { m_inactiveSelectionText = c; }

    // UI thread. Thumbnail layouts; see the icon loader above.
    void SetViewMode(ViewMode mode);
    ViewMode GetViewMode() const { return m_viewMode; }
    // The newest call wins: a run under way starts over with the rows there
    // are then.
    void StartIconLoading();
    void ClearIcons();
    // Loader thread: decodes row `index`'s icon file into its pending pixels.
    void LoadJpegIcon(int index);

    // Layout in list coordinates; both run inside OnPaint as well.
    virtual void CalculateItemRects();
    virtual void CalculateColumnWidths();

    // UI thread. Paints the rows that meet the clip.
    void OnPaint(CascadeBitmap& target) override;

    // The last header rectangle laid out (height 0 with headers hidden).
    CascadeRect GetHeaderRect() const { return m_headerRect; }

protected:
    void ThreadProc() override;
    // Clear found a paint under way and is about to wait for it; prints the
    // waiting line. Called on the clearing thread without the lock.
    virtual void OnWaitingForPaint();
    // The loader thread has stored row `index`'s decoded icon; asks for the
    // row to be repainted. Loader thread, without the lock.
    virtual void OnIconDecoded(int index);

private:
    struct RowLook;
    void RedrawList();
    void StopLoader();
    void MeasureRowHeightLocked();
    int HeaderHeightLocked();
    int VisibleItemCountLocked();
    // True when it scrolled (and so redrew).
    bool ScrollToSelectionLocked(int selection);
    void CalculateThumbnailRectsLocked();
    void PaintHeaderLocked(CascadeBitmap& target, const CascadeRect& area);
    void PaintRowLocked(CascadeBitmap& target, ListItem& item, int index, const CascadeRect& area);
    void PaintThumbnailLocked(CascadeBitmap& target, ListItem& item, int index);
    void PaintIconLocked(CascadeBitmap& target, ListItem& item);
    void PaintArrowsLocked(CascadeBitmap& target, const CascadeRect& area);
    void DropIconsLocked();

    // Rows, columns and layout, shared by the worker threads that fill the
    // list and the UI thread that paints it. Recursive: public calls nest.
    mutable CascadeMutex m_lock;
    std::vector<std::unique_ptr<Column>> m_columns;
    std::vector<std::unique_ptr<ListItem>> m_items;
    CascadeRect m_headerRect;
    CascadeFont m_itemFont, m_captionFont{"system", CascadeFont::kNormal, 19}, m_headerFont;
    CascadeDims m_iconDims;
    int m_start = 0;
    std::atomic<int> m_selected{-1};
    int m_iconWidth = -1;   // -1: the row height
    int m_headerHeight = 0;  // 0: the row height
    int m_rowHeight = 0;     // 0: measured from the item font
    ViewMode m_viewMode = kList;
    bool m_showHeaders = true;
    bool m_showIcons = false;
    std::atomic<bool> m_stopLoader{false};
    LatestRequest m_iconRequests;
    std::atomic<bool> m_paintedOnce{false};
    bool m_itemFontSet = false, m_headerFontSet = false, m_captionFontSet = false;
    bool m_paintWholeItemsOnly = false;

    CascadeColor m_background{0x00000000u};
    CascadeColor m_selection{0x000080FFu};
    CascadeColor m_inactiveSelection{0x808080FFu};
    CascadeColor m_text{0xFFFFFFFFu};
    CascadeColor m_textShadow{0x000000FFu};
    CascadeColor m_selectionText{0x00FFFFFFu};
    CascadeColor m_inactiveSelectionText{0xFFFFFFFFu};

    CascadeBitmap m_upArrow;
    CascadeBitmap m_downArrow;
};

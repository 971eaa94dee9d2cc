#pragma once

#include "platform/CascadeColor.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"

#include <string>
#include <vector>

// A framework widget: a window with a font, a text colour and a colour
// scheme that follows focus. Schemes 0 and 2 are the unfocused looks, 1 and 3
// the focused ones (2 and 3 for a disabled widget). UI thread only.
class CascadeWidget : public CascadeWindow {
public:
    enum Scheme { kNormal = 0, kFocused = 1, kDisabled = 2, kDisabledFocused = 3 };

    const CascadeFont& GetFont() const { return m_font; }
    void SetFont(const CascadeFont& font) { m_font = font; }
    CascadeColor GetColor() const { return m_color; }
    void SetColor(const CascadeColor& color) { m_color = color; }
    int GetScheme() const;
    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool enabled);

    void OnSetFocus() override { Redraw(); }
    void OnClearFocus() override { Redraw(); }

private:
    CascadeFont m_font{"system", CascadeFont::kNormal, 20};
    CascadeColor m_color{255, 255, 255};
    bool m_enabled = true;
};

// A spinner: one line that shows one item of a list; Left and Right step
// through the items (wrapping around) while it has the focus. The look is
// the derived class's OnPaint; this one draws a plain box. UI thread only.
class CascadeSpinnerWidget : public CascadeWidget {
public:
    // Appends an item; returns its index.
    int AddItem(const char* text);
    void ClearItems();
    int GetItemCount() const { return int(m_items.size()); }
    // The item's text; "" when out of range.
    const char* GetItem(int index) const;
    // -1 when there are no items.
    int GetCurrentIndex() const { return m_current; }
    // Out-of-range indices are ignored. Redraws.
    void SetCurrentIndex(int index);
    const char* GetCurrentText() const { return GetItem(m_current); }

    void OnPaint(CascadeBitmap& target) override;
    // Left and Right change the item and are consumed; Up and Down pass on.
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;
    bool WillAcceptFocus() override { return IsEnabled(); }

private:
    std::vector<CascadeString> m_items;
    int m_current = -1;
};

#include "platform/CascadeSpinnerWidget.h"

#include "platform/CascadeKeys.h"
#include "platform/CascadeTextFlags.h"

int CascadeWidget::GetScheme() const {
    const bool focus = IsFocus();
    if (!m_enabled) return focus ? kDisabledFocused : kDisabled;
    return focus ? kFocused : kNormal;
}

void CascadeWidget::SetEnabled(bool enabled) {
    m_enabled = enabled;
    Redraw();
}

int CascadeSpinnerWidget::AddItem(const char* text) {
    m_items.emplace_back(text);
    if (m_current < 0) m_current = 0;
    Redraw();
    return int(m_items.size()) - 1;
}

void CascadeSpinnerWidget::ClearItems() {
    m_items.clear();
    m_current = -1;
    Redraw();
}

const char* CascadeSpinnerWidget::GetItem(int index) const {
    if (index < 0 || index >= int(m_items.size())) return "";
    return m_items[std::size_t(index)].c_str();
}

void CascadeSpinnerWidget::SetCurrentIndex(int index) {
    if (index < 0 || index >= int(m_items.size())) return;
    m_current = index;
    Redraw();
}

void CascadeSpinnerWidget::OnPaint(CascadeBitmap& target) {
    const CascadeRect box({0, 0}, GetDims());
    target.FillRect(box, GetScheme() & 1 ? CascadeColor(40, 90, 160) : CascadeColor(40, 40, 40));
    target.DrawText(GetFont(), box, GetCurrentText(), GetColor(),
                    CascadeTextFlags::kCenterHorizontal | CascadeTextFlags::kCenterVertical);
}

bool CascadeSpinnerWidget::OnNavKey(unsigned long key, CascadeWindow*& /*next*/) {
    if (key != CascadeKeys::kLeft && key != CascadeKeys::kRight) return false;
    const int count = GetItemCount();
    if (count == 0) return true;
    const int step = key == CascadeKeys::kRight ? 1 : count - 1;
    SetCurrentIndex((m_current + step) % count);
    return true;
}

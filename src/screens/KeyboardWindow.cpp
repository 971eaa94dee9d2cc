#include "screens/KeyboardWindow.h"

#include "app/base/AppActivity.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "platform/CascadeTextFlags.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"
#include "ui/EUtilsDrawing.h"

#include <cctype>

namespace {

constexpr CascadePoint kTitleAt{18, 9};
constexpr CascadeRect kTextBox{15, 51, 316, 30};
constexpr CascadeColor kTextBoxColor{0x000000A5u};
constexpr CascadeColor kFrameColor{0x000000FFu};
constexpr CascadeColor kLabelColor{0xFFFFFFFFu};
constexpr CascadeColor kShadow{0x000000FFu};
constexpr int kTextPadding = 6;
constexpr const char* kShift = "Shift";
constexpr const char* kDone = "Done";
// The rows of single keys; the fourth row ends with "Shift" and "Done".
// Names often carry punctuation, so a row of it follows the letters.
constexpr const char* kRows[] = {"0123456789", "abcdefghij", "klmnopqrst", "uvwxyz", "-_.,:%&'!?"};

bool IsLetterKey(const CascadeString& label) {
    return label.GetLength() == 1 && std::isalpha(static_cast<unsigned char>(label.c_str()[0]));
}

}  // namespace

KeyboardWindow::Key::Key(const char* label, Size size) : m_label(label ? label : ""), m_size(size) {}

void KeyboardWindow::Key::SetLabel(const char* label) {
    m_label = label ? label : "";
    Redraw();
}

void KeyboardWindow::Key::OnPaint(CascadeBitmap& target) {
    const bool active = IsFocus();
    const CascadeBitmap* face = m_size == Size::kWide
                                    ? (active ? g_config.GetKeyLargeActive() : g_config.GetKeyLargeInactive())
                                    : (active ? g_config.GetKeyActive() : g_config.GetKeyInactive());
    if (face && face->IsValid()) target.DrawBitmap(*face, {0, 0});
    EUtils::ShadowedDrawText(target, m_font, CascadeRect({0, 0}, GetDims()), m_label.c_str(), kLabelColor,
                             CascadeTextFlags::kCenterVertical | CascadeTextFlags::kCenterHorizontal, 2, kShadow,
                             EUtils::kDownRight, EUtils::ShadowSteps::kAll);
}

void KeyboardWindow::ShowDialog(CascadeBitmap* title, Client* client) {
    if (IsVisible()) Vanish();
    m_title = title;
    m_client = client;
    m_text = "";
    m_cancelled = false;
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetKeyboardDialogBackground()));
    Materialize(2);
}

void KeyboardWindow::BuildKeys() {
    const CascadeDims key = DialogImages::Size(*g_config.GetKeyActive());
    const CascadeDims wide = DialogImages::Size(*g_config.GetKeyLargeActive());
    int y = kKeysAt.y;
    auto add = [this](const char* label, Key::Size size, const CascadeRect& rect) {
        m_keys.push_back(std::make_unique<Key>(label, size));
        m_keys.back()->SetRectRelative(rect);
        AddChild(m_keys.back().get());
        m_keys.back()->Materialize();
    };
    for (std::size_t row = 0; row < std::size(kRows); ++row) {
        int x = kKeysAt.x;
        for (const char* c = kRows[row]; *c; ++c) {
            const char label[2] = {*c, 0};
            add(label, Key::Size::kNormal, {x, y, key.w, key.h});
            x += key.w + kKeyGap;
        }
        if (row == 3) {
            add(kShift, Key::Size::kWide, {x, y, wide.w, wide.h});
            x += wide.w + kKeyGap;
            add(kDone, Key::Size::kWide, {x, y, wide.w, wide.h});
        }
        y += key.h + kKeyGap;
    }
}

void KeyboardWindow::OnMaterialize() {
    if (m_keys.empty()) {
        m_titleRect = {kTitleAt, m_title ? DialogImages::Size(*m_title) : CascadeDims{0, 0}};
        m_textBoxRect = kTextBox;
        if (m_textBox.Create(kTextBox.Dims(), CascadeBitmap::kRamVideo)) {
            m_textBox.Clear(kTextBoxColor);
            m_textBox.FrameRect(CascadeRect({0, 0}, kTextBox.Dims()), kFrameColor);
        }
        BuildKeys();
    }
    if (m_shift) ToggleShift();  // every showing starts in lower case
    m_focus.Remember();
    if (Key* zero = FindKey("0")) zero->SetFocus();
}

KeyboardWindow::Key* KeyboardWindow::FindKey(const char* label) const {
    for (const auto& key : m_keys)
        if (key->GetLabel() == label) return key.get();
    return nullptr;
}

void KeyboardWindow::OnPaint(CascadeBitmap& target) {
    // The keyboard opens over another dialog: a translucent background is
    // laid twice so what lies under it does not show through.
    const CascadeBitmap& background = *g_config.GetKeyboardDialogBackground();
    target.DrawBitmap(background, {0, 0});
    target.DrawBitmap(background, {0, 0});
    // The title stops where the text box starts.
    if (m_title && m_title->IsValid())
        target.DrawBitmap(*m_title, m_titleRect.Origin(), {0, 0, m_titleRect.w, kTextBox.y - kTitleAt.y});
    if (m_textBox.IsValid()) target.DrawBitmap(m_textBox, m_textBoxRect.Origin());
    // The end of a text too long for the box stays in sight.
    const CascadeRect inside{m_textBoxRect.x + kTextPadding, m_textBoxRect.y, m_textBoxRect.w - 2 * kTextPadding,
                             m_textBoxRect.h};
    const bool tooLong = m_font.GetTextExtent(m_text.View()).w > inside.w;
    CascadeBitmap box = target.View(inside.Origin(), inside);
    box.DrawText(m_font, CascadeRect({0, 0}, inside.Dims()), m_text.View(), g_fgColor,
                 CascadeTextFlags::kCenterVertical | (tooLong ? CascadeTextFlags::kAlignRight : 0));
}

void KeyboardWindow::Type(const Key& key) {
    if (key.GetLabel() == kShift) {
        ToggleShift();
    } else if (key.GetLabel() == kDone) {
        Vanish();
        return;
    } else {
        m_text += key.GetLabel().c_str();
    }
    Redraw(m_textBoxRect);
}

void KeyboardWindow::ToggleShift() {
    m_shift = !m_shift;
    for (const auto& key : m_keys) {
        if (!IsLetterKey(key->GetLabel())) continue;
        const unsigned char c = static_cast<unsigned char>(key->GetLabel().c_str()[0]);
        const char label[2] = {char(m_shift ? std::toupper(c) : std::tolower(c)), 0};
        key->SetLabel(label);
    }
}

// Removes the last character: a whole UTF-8 sequence, not a byte of it.
void KeyboardWindow::RemoveLastCharacter() {
    std::string text = m_text.Std();
    if (text.empty()) return;
    std::size_t end = text.size() - 1;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.erase(end);
    m_text = CascadeString(std::move(text));
}

bool KeyboardWindow::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    switch (key) {
        case CascadeKeys::kSelect:
            for (const auto& k : m_keys)
                if (k->IsFocus()) {
                    Type(*k);
                    break;
                }
            break;
        case CascadeKeys::kNext:
            m_text += " ";
            Redraw(m_textBoxRect);
            break;
        case CascadeKeys::kPrevious:
            RemoveLastCharacter();
            Redraw(m_textBoxRect);
            break;
        case CascadeKeys::kExit:
            m_cancelled = true;
            Vanish();
            break;
        default:
            break;
    }
    return true;  // every other key is swallowed
}

KeyboardWindow::Key* KeyboardWindow::NeighbourOf(const Key& from, unsigned long arrow) const {
    const CascadeRect origin = from.GetRectRelative();
    const int centreX = origin.x + origin.w / 2;
    Key* best = nullptr;
    long bestScore = 0;
    for (const auto& key : m_keys) {
        const CascadeRect r = key->GetRectRelative();
        long score = -1;
        if (arrow == CascadeKeys::kLeft || arrow == CascadeKeys::kRight) {
            const int along = arrow == CascadeKeys::kRight ? r.x - origin.x : origin.x - r.x;
            if (r.y == origin.y && along > 0) score = along;
        } else {
            const int rows = arrow == CascadeKeys::kDown ? r.y - origin.y : origin.y - r.y;
            const int across = centreX < r.x ? r.x - centreX : (centreX >= r.Right() ? centreX - r.Right() + 1 : 0);
            if (rows > 0) score = long(rows) * 10000 + across;
        }
        if (score >= 0 && (!best || score < bestScore)) {
            best = key.get();
            bestScore = score;
        }
    }
    return best;
}

bool KeyboardWindow::OnNavKey(unsigned long key, CascadeWindow*& next) {
    AppActivity::NotifyActivity(key);
    next = nullptr;
    for (const auto& k : m_keys)
        if (k->IsFocus()) next = NeighbourOf(*k, key);
    return true;
}

void KeyboardWindow::OnVanish() {
    m_focus.Restore();
    Client* client = m_client;
    m_client = nullptr;
    if (client && !m_cancelled) client->OnKeyboardValue(m_text);
}

#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "ui/FocusKeeper.h"

#include <memory>
#include <vector>

// The on-screen keyboard for typing a name with the remote: digits, letters
// (Shift switches their case), a row of punctuation, "Shift" and "Done".
// Select types the focused key; Next types a blank, Previous removes the
// last character; Done closes it and hands the text to the client, Exit
// closes it without a word. Arrow keys move between the keys. UI thread only.
class KeyboardWindow : public CascadeWindow {
public:
    class Client {
    public:
        // The typed text (UTF-8), possibly empty. Called while the keyboard
        // closes, after the focus went back.
        virtual void OnKeyboardValue(const CascadeString& value) = 0;

    protected:
        ~Client() = default;
    };

    // One key: the skin's key face (active while focused, the wide face for
    // the wide keys) with its label centred.
    class Key : public CascadeWindow {
    public:
        enum class Size { kNormal, kWide };
        Key(const char* label, Size size);
        const CascadeString& GetLabel() const { return m_label; }
        void SetLabel(const char* label);
        Size GetSize() const { return m_size; }

        void OnPaint(CascadeBitmap& target) override;
        bool WillAcceptFocus() override { return true; }
        void OnSetFocus() override { Redraw(); }
        void OnClearFocus() override { Redraw(); }

    private:
        CascadeString m_label;
        Size m_size;
        CascadeFont m_font{"system", CascadeFont::kBold, 20};
    };

    // Where the key rows start; keys are 2 pixels apart both ways.
    static constexpr CascadePoint kKeysAt{15, 91};
    static constexpr int kKeyGap = 2;

    KeyboardWindow() = default;
    ~KeyboardWindow() override = default;

    // Shows the keyboard titled with `title` (not owned; it must outlive the
    // showing, may be null) with an empty text; the keyboard background's
    // size, centred, plane 2. `client` may be null.
    void ShowDialog(CascadeBitmap* title, Client* client);

    const CascadeString& GetText() const { return m_text; }
    bool IsShifted() const { return m_shift; }
    // The key labelled `label` (first match), or null.
    Key* FindKey(const char* label) const;
    const std::vector<std::unique_ptr<Key>>& GetKeys() const { return m_keys; }
    CascadeRect GetTextBoxRect() const { return m_textBoxRect; }

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;
    // Arrows move along the rows: Left and Right to the neighbour in the
    // same row (none past its ends), Up and Down to the key of the next row
    // under the focused key's centre (or the nearest one).
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;
    // The key an arrow moves to from `from`; null when there is none.
    Key* NeighbourOf(const Key& from, unsigned long arrow) const;

private:
    void BuildKeys();
    void Type(const Key& key);
    void ToggleShift();
    void RemoveLastCharacter();

    FocusKeeper m_focus;
    Client* m_client = nullptr;
    CascadeBitmap* m_title = nullptr;
    CascadeBitmap m_textBox;
    CascadeRect m_titleRect, m_textBoxRect;
    CascadeString m_text;
    CascadeFont m_font{"system", CascadeFont::kNormal, 20};
    bool m_cancelled = false;
    bool m_shift = false;
    std::vector<std::unique_ptr<Key>> m_keys;
};

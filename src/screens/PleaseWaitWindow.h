#pragma once

#include "platform/CascadeFont.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "ui/FocusKeeper.h"

#include <atomic>

// Shown while a worker or loader fetches: the please-wait background and a
// line of text. It takes the focus and swallows every key while it shows,
// then gives the focus back (to the window named for it, if any). UI thread
// only; workers drive it through the application's wormhole messages.
class PleaseWaitWindow : public CascadeWindow {
public:
    PleaseWaitWindow() : m_font("system", CascadeFont::kNormal, 22) {}
    ~PleaseWaitWindow() override = default;

    // Centred with the size of the please-wait background; plane 2.
    void Show();
    void SetText(const char* text);
    const CascadeString& GetText() const { return m_text; }
    // The window that gets the focus back when this one closes (instead of
    // the one that had it when it opened); null keeps that one.
    void SetFocusToRestore(CascadeWindow* window);
    bool HasPainted() const { return m_painted.load(); }

    void OnPaint(CascadeBitmap& target) override;
    void OnVanish() override;
    // Swallows every key but Exit, which goes on to the window that gets the
    // focus back (a browser stops its load and closes).
    bool OnKeyDown(unsigned long key) override;
    bool OnNavKey(unsigned long, CascadeWindow*& next) override {
        next = nullptr;
        return true;
    }

private:
    FocusKeeper m_focus;
    CascadeString m_text;
    CascadeFont m_font;
    std::atomic<bool> m_painted{false};
};

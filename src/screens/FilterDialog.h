#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeTimer.h"
#include "platform/CascadeWindow.h"
#include "screens/LibraryLevels.h"
#include "screens/ScreenContext.h"
#include "ui/EButton.h"
#include "ui/FocusKeeper.h"

// The filter: a pop-up with the library's genre and artist lists (the
// genre narrowing the artists) and an apply button. Closing it with the
// button reports the chosen genre and artist to the client; Exit reports
// nothing.
//
// Threads: as the library window: the UI thread shows, paints and takes
// keys; the lists load on the dialog's loader thread ("filter").
class FilterDialog : public CascadeWindow, public CascadeTimer {
public:
    class Client {
    public:
        // The selected rows: ids 0 and the "All" rows' texts for no filter.
        virtual void OnFilterResult(unsigned long genreId, const char* genreName, unsigned long artistId,
                                    const char* artistName) = 0;

    protected:
        ~Client() = default;
    };

    FilterDialog();
    ~FilterDialog() override;

    // UI thread, before the first showing.
    void Attach(const ScreenContext& context);
    // Centred on the screen with the size of the large dialog background; plane 2.
    void ShowDialog(Client* client);

    char GetStartLetter(const char* name) const { return m_levels.GetStartLetter(name); }
    LibraryLevels& GetLevels() { return m_levels; }
    EButton& GetApplyButton() { return m_apply; }
    [[nodiscard]] bool WaitUntilIdle(unsigned long timeoutMs) { return m_levels.WaitUntilIdle(timeoutMs); }

    // CascadeWindow
    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnMaterialized() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;
    bool OnNavKey(unsigned long key, CascadeWindow*& next) override;
    bool WillAcceptFocus() override { return false; }

    // CascadeTimer: the 250 ms reload tick.
    void OnTimer(unsigned long id) override;

private:
    void LoadBitmaps();
    void LayOut();
    void MoveFocus(bool right);

    ScreenContext m_context;
    FocusKeeper m_focus;
    Client* m_client = nullptr;
    // Title, the two headers, the button's words, the two panels.
    CascadeBitmap m_title, m_genreHeader, m_artistHeader, m_applyText, m_genrePanel, m_artistPanel;
    CascadeRect m_titleRect, m_genreHeaderRect, m_artistHeaderRect, m_genrePanelRect, m_artistPanelRect;
    CascadeFont m_listFont, m_smallFont;
    EButton m_apply;
    unsigned long m_timerId = 0;
    bool m_cancelled = false;
    bool m_bitmapsLoaded = false;
    bool m_laidOut = false;
    LibraryLevels m_levels{"filter", LibraryLevel::kArtist, false};  // last: its loader stops first
};

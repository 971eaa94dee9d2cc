#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeFont.h"
#include "platform/CascadeRect.h"
#include "platform/CascadeString.h"
#include "platform/CascadeWindow.h"
#include "ui/EButton.h"
#include "ui/FocusKeeper.h"

#include <array>
#include <vector>

// The action dialog the browsers open on a selected item: three buttons,
// chosen by the dialog type, to play it, add it, insert it after the playing
// song, open it, remove it or clear the playlist, above the item's texts.
// Select closes it with the focused button's command and tells the client;
// Exit closes it without telling anyone. The dialog itself never talks to
// the server: the client does what the command says. UI thread only.
class ManagePlaylistDialog : public CascadeWindow {
public:
    class Client {
    public:
        // "open", "add", "play", "insert", "remove" or "clear". Called while
        // the dialog closes, after the focus went back.
        virtual void OnManagePlaylistCommand(const CascadeString& command) = 0;

    protected:
        ~Client() = default;
    };

    enum DialogType : int {
        kLibrarySelection = 0,  // a genre/artist/album filter: add, play, insert
        kSong = 1,              // add, play, insert
        kPlaylistEntry = 2,     // an entry of the current playlist: remove, play, clear
        kFolder = 3,            // open, add, play
        kPlaylistFile = 4,      // a playlist file in a folder: add, play, insert
    };

    enum Button { kOpen, kAdd, kPlay, kInsert, kRemove, kClear, kButtonCount };

    ManagePlaylistDialog() = default;
    ~ManagePlaylistDialog() override = default;

    // The texts shown, filled by the opening window before ShowDialog.
    void SetGenre(const char* text) { m_genre = text ? text : ""; }
    void SetArtist(const char* text) { m_artist = text ? text : ""; }
    void SetAlbum(const char* text) { m_album = text ? text : ""; }
    void SetTitle(const char* text) { m_title = text ? text : ""; }
    void SetMatchCount(unsigned long count) { m_matchCount = count; }

    // Large dialog for type 0, medium otherwise; centred; plane 1. A type
    // outside 0..4 is shown as a song. `client` may be null.
    void ShowDialog(DialogType type, Client* client);

    DialogType GetType() const { return m_type; }
    // The command Select chose; "" after Exit.
    const CascadeString& GetCommand() const { return m_command; }
    // The buttons of `type`, left to right (the first takes the focus).
    static std::array<Button, 3> ButtonsOf(DialogType type);
    static const char* CommandOf(Button button);
    EButton& GetButton(Button button) { return m_buttons[button]; }
    // Where the label of row `row` (0 = top) and its text are drawn.
    static CascadeRect LabelRect(int row);
    static CascadeRect TextRect(int row, int windowWidth);

    void OnPaint(CascadeBitmap& target) override;
    void OnMaterialize() override;
    void OnVanish() override;
    bool OnKeyDown(unsigned long key) override;

private:
    enum Image { kTitleImage, kMatchLabel, kTitleLabel, kArtistLabel, kAlbumLabel, kGenreLabel, kFirstFace };
    struct Row {
        Image label;
        CascadeString text;
    };
    void LoadBitmaps();
    std::vector<Row> RowsOf(DialogType type) const;
    const CascadeBitmap* Background() const;

    FocusKeeper m_focus;
    Client* m_client = nullptr;
    // Title, five labels, then the faces of the buttons in Button order.
    std::array<CascadeBitmap, std::size_t(kFirstFace) + std::size_t(kButtonCount)> m_bitmaps;
    CascadeRect m_titleRect;
    std::array<EButton, kButtonCount> m_buttons;
    std::array<Button, 3> m_shown{kAdd, kPlay, kInsert};  // the buttons added for this showing
    DialogType m_type = kSong;
    CascadeString m_genre, m_artist, m_album, m_title, m_command;
    unsigned long m_matchCount = 0;
    CascadeFont m_font;
    bool m_bitmapsLoaded = false;
};

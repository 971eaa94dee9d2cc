#pragma once

#include "platform/CascadeRect.h"
#include "ui/AlbumButton.h"
#include "ui/EListView.h"

// The cover beside the song and album info dialogs: an album tile that
// only shows the cover (or the no-cover image) and never takes the focus,
// so the arrow keys move between the dialog's buttons alone.
class DialogCoverView : public AlbumButton {
public:
    using AlbumButton::AlbumButton;
    // The loader thread calls this class's override: the load ends while
    // the override still exists, before the tile's own destructor runs.
    ~DialogCoverView() override { WaitUntilFinished(); }
    bool WillAcceptFocus() override { return false; }
};

// The table of the info dialogs: it only shows rows (the dialogs page it
// with the zoom keys), so the focus stays on the buttons.
class InfoTableView : public EListView {
public:
    bool WillAcceptFocus() override { return false; }
};

// Where the info dialogs place their parts inside the info-dialog background.
namespace InfoDialogLayout {
constexpr CascadePoint kTitleAt{17, 8};
constexpr CascadeRect kCover{20, 75, 230, 230};
constexpr CascadeRect kPanel{262, 68, 520, 276};
constexpr CascadeRect kList{272, 76, 500, 260};
constexpr CascadeRect kPageLabel{552, 24, 228, 25};
// The buttons: one row, 70 pixels above the bottom edge, from x 15, 5 apart.
constexpr int kButtonsFromBottom = 70;
constexpr int kButtonsX = 15;
constexpr int kButtonGap = 5;
}  // namespace InfoDialogLayout

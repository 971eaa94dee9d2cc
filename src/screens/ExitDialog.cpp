#include "screens/ExitDialog.h"

#include "app/base/AppActivity.h"
#include "platform/CascadeKeys.h"
#include "platform/CascadeScreen.h"
#include "ui/Configuration.h"
#include "ui/DialogImages.h"

void ExitDialog::ShowDialog(Client* client) {
    m_client = client;
    m_command = "";
    if (!m_bitmapsLoaded) {
        DialogImages::Load(m_bitmaps[0], "images/title_exit.png");
        DialogImages::Load(m_bitmaps[1], "images/text_exit.png");
        DialogImages::Load(m_bitmaps[2], "images/text_hide.png");
        m_bitmapsLoaded = true;
    }
    SetRectAbsolute(DialogImages::CentredOn(CascadeScreen().GetDims(), *g_config.GetExitDialogBackground()));
    Materialize(2);
}

void ExitDialog::OnMaterialize() {
    if (!m_laidOut) {
        m_titleRect = DialogImages::PlaceAt(m_bitmaps[0], {17, 8});
        const CascadeDims face = DialogImages::Size(*g_config.GetButtonActive());
        m_exitButton.SetImage(&m_bitmaps[1]);
        m_hideButton.SetImage(&m_bitmaps[2]);
        m_exitButton.SetRectRelative({19, 51, face.w, face.h});
        m_hideButton.SetRectRelative({203, 51, face.w, face.h});
        AddChild(&m_exitButton);
        AddChild(&m_hideButton);
        m_exitButton.Materialize();
        m_hideButton.Materialize();
        m_laidOut = true;
    }
    m_focus.Remember();
    m_exitButton.SetFocus();
}

void ExitDialog::OnPaint(CascadeBitmap& target) {
    target.DrawBitmap(*g_config.GetExitDialogBackground(), {0, 0});
    if (m_bitmaps[0].IsValid()) target.DrawBitmap(m_bitmaps[0], m_titleRect.Origin());
}

bool ExitDialog::OnKeyDown(unsigned long key) {
    AppActivity::NotifyActivity(key);
    if (key == CascadeKeys::kExit) {
        m_command = "";
        Vanish();
    } else if (key == CascadeKeys::kSelect) {
        m_command = m_hideButton.IsFocus() ? "hide" : "exit";
        Vanish();
    }
    return true;  // the question keeps every key while it is up
}

void ExitDialog::OnVanish() {
    m_focus.Restore();
    Client* client = m_client;
    m_client = nullptr;
    if (client && !m_command.IsEmpty()) client->OnExitCommand(m_command);
}

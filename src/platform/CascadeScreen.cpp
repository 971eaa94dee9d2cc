#include "platform/CascadeScreen.h"

#include "platform/CascadeApp.h"

CascadeDims CascadeScreen::GetDims() const {
    CascadeApp* app = CascadeApp::s_pTheApp;
    return app ? app->GetDesktop().GetDims() : CascadeDims{1024, 576};
}

CascadeBitmap* CascadeScreen::GetMemory() const {
    CascadeApp* app = CascadeApp::s_pTheApp;
    return app ? const_cast<CascadeBitmap*>(&app->GetDesktop().Screen()) : nullptr;
}

void CascadeScreen::LockScreen() {
    if (CascadeApp* app = CascadeApp::s_pTheApp) (void)app->GetDesktop().LockScreen();
}

void CascadeScreen::UnlockScreen() {
    if (CascadeApp* app = CascadeApp::s_pTheApp) app->GetDesktop().UnlockScreen();
}

void CascadeScreen::SwapBuffers(const CascadeRect& region) {
    if (CascadeApp* app = CascadeApp::s_pTheApp) app->GetDesktop().PresentOnly(region);
}

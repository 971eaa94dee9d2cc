#include "platform/CascadeTimer.h"

#include "platform/CascadeApp.h"

CascadeTimer::~CascadeTimer() {
    if (CascadeApp* app = CascadeApp::s_pTheApp) app->GetQueue().KillTimers(this);
}

unsigned long CascadeTimer::SetTimer(unsigned long periodMs) {
    CascadeApp* app = CascadeApp::s_pTheApp;
    return app ? app->GetQueue().AddTimer(this, periodMs) : 0;
}

void CascadeTimer::KillTimer(unsigned long id) {
    if (id == 0) return;
    if (CascadeApp* app = CascadeApp::s_pTheApp) app->GetQueue().KillTimer(this, id);
}

#include "platform/CascadeWormhole.h"

#include "platform/CascadeApp.h"

CascadeWormhole::~CascadeWormhole() { Destroy(); }

bool CascadeWormhole::Create(const CascadeString& address, Receiver receiver) {
    CascadeApp* app = CascadeApp::s_pTheApp;
    if (!app || address.IsEmpty()) return false;
    Destroy();
    if (!app->RegisterWormhole(address, this)) return false;
    m_address = address;
    m_receiver = std::move(receiver);
    return true;
}

void CascadeWormhole::Destroy() {
    if (m_address.IsEmpty()) return;
    if (CascadeApp* app = CascadeApp::s_pTheApp) app->UnregisterWormhole(m_address, this);
    m_address = CascadeString();
}

bool CascadeWormhole::PostMessage(const CascadeString& address, uint32_t id, const void* data, std::size_t length) {
    CascadeApp* app = CascadeApp::s_pTheApp;
    if (!app) return false;
    app->PostWormholeMessage(address, CascadeMessage(id, data, length));
    return true;
}

void CascadeWormhole::Deliver(const CascadeMessage& message) const {
    if (m_receiver)
        m_receiver(message);
    else if (CascadeApp* app = CascadeApp::s_pTheApp)
        app->OnWormholeMessage(message);
}

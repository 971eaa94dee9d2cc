#include "ui/ListenerRegistration.h"

ListenerRegistration::~ListenerRegistration() {
    SlimCLIListener* last = nullptr;
    {
        std::lock_guard lock(m_lock);
        last = m_lastListener;
        m_listener = m_lastListener = nullptr;
    }
    if (last) last->UnregisterClient(&m_client, SlimCLIListener::UnregisterMode::kWaitForCallbacks);
}

void ListenerRegistration::Register(SlimCLIListener* listener) {
    SlimCLIListener* previous = nullptr;
    {
        std::lock_guard lock(m_lock);
        if (m_listener == listener) return;
        previous = m_listener;
        m_listener = listener;
        if (listener) m_lastListener = listener;
    }
    if (previous) previous->UnregisterClient(&m_client, SlimCLIListener::UnregisterMode::kStopLaterOnes);
    if (listener) listener->RegisterClient(&m_client);
}

void ListenerRegistration::Unregister() {
    SlimCLIListener* previous = nullptr;
    {
        std::lock_guard lock(m_lock);
        previous = m_listener;
        m_listener = nullptr;
    }
    if (previous) previous->UnregisterClient(&m_client, SlimCLIListener::UnregisterMode::kStopLaterOnes);
}

bool ListenerRegistration::IsRegistered() const {
    std::lock_guard lock(m_lock);
    return m_listener != nullptr;
}

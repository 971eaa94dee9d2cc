#pragma once

#include "server/SlimCLIListener.h"

#include <mutex>

// A window's registration with the CLI listener: registered while the
// window is shown, unregistered when it vanishes, and unregistered (waiting
// for a callback under way) when it dies, so no callback ever reaches a dead
// window. Vanishing does not wait, so the UI thread never waits for a
// callback that is itself waiting for a slow server; a callback that still
// finishes after it only updates the window's data.
//
// Threads: Register and Unregister on the UI thread (or the owner's thread);
// the destructor on the owner's.
class ListenerRegistration {
public:
    explicit ListenerRegistration(SlimCLIListener::Client& client) : m_client(client) {}
    ListenerRegistration(const ListenerRegistration&) = delete;
    ListenerRegistration& operator=(const ListenerRegistration&) = delete;
    ~ListenerRegistration();

    // Registers with `listener` (null: nothing); a registration elsewhere is
    // dropped first.
    void Register(SlimCLIListener* listener);
    void Unregister();
    bool IsRegistered() const;

private:
    SlimCLIListener::Client& m_client;
    mutable std::mutex m_lock;
    SlimCLIListener* m_listener = nullptr;  // where registered now
    SlimCLIListener* m_lastListener = nullptr;  // where it last was (waited for on destruction)
};

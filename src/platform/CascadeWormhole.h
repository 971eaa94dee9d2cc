#pragma once

#include "platform/CascadeMessage.h"
#include "platform/CascadeString.h"

#include <functional>

// An addressable message channel inside the application. Create registers an
// address; PostMessage to that address, from any thread, copies the data and
// delivers it on the UI thread to the receiver: by default the
// application's OnWormholeMessage.
class CascadeWormhole {
public:
    using Receiver = std::function<void(const CascadeMessage&)>;

    CascadeWormhole() = default;
    CascadeWormhole(const CascadeWormhole&) = delete;
    CascadeWormhole& operator=(const CascadeWormhole&) = delete;
    ~CascadeWormhole();  // Destroy

    // UI thread. False when no application runs or the address is taken.
    [[nodiscard]] bool Create(const CascadeString& address, Receiver receiver = {});
    // UI thread. Messages still on their way to this address are dropped.
    void Destroy();
    bool IsCreated() const { return !m_address.IsEmpty(); }
    const CascadeString& GetAddress() const { return m_address; }

    // Any thread. False when no application runs; a message to an address
    // nobody created is dropped on arrival with a log line.
    static bool PostMessage(const CascadeString& address, uint32_t id, const void* data, std::size_t length);

private:
    friend class CascadeApp;
    void Deliver(const CascadeMessage& message) const;

    CascadeString m_address;
    Receiver m_receiver;
};

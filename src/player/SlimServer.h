#pragma once

#include "platform/CascadeString.h"
#include "platform/CascadeTemplateArray.h"
#include "player/StatusPacket.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class SlimCLIConnection;
class SlimCLIListener;

// The player's end of SlimProto: finds a server by UDP broadcast, keeps one
// TCP link open from a reader thread that reconnects by itself, frames the
// player's messages and hands the server's commands to registered clients.
//
// Threads: Connect, Disconnect, RegisterClient and UnregisterClient belong to
// one controlling thread (the main thread). The Send* methods may be called
// from any thread, including the reader thread inside a client callback
// (SendBye excepted, see there). Client callbacks run on the reader thread,
// "slimproto".
class SlimServer {
public:
    static constexpr unsigned short kDefaultPort = 3483;

    // Observer of the link. Every callback runs on the reader thread and must
    // not call Connect or Disconnect.
    class Client {
    public:
        virtual ~Client() = default;
        // One server command. `opcode` is 4 characters and a NUL; `data` holds
        // `length` payload bytes followed by at least one zero byte, and is
        // valid only during the call.
        virtual void OnSlimServerCommand(const char* opcode, unsigned char* data, unsigned long length) = 0;
        // The link is up (first time and after every reconnect).
        virtual void OnSlimServerConnected() = 0;
        // The link was lost or closed.
        virtual void OnSlimServerDisconnected() = 0;
    };

    class SlimServerSocket;

    SlimServer();
    SlimServer(const SlimServer&) = delete;
    SlimServer& operator=(const SlimServer&) = delete;
    // Disconnects (joins the reader thread) before any member dies.
    ~SlimServer();

    // Broadcasts a discovery request on port 3483 and waits at most 2 s for
    // an answer. The dotted IPv4 address of the first server that answers,
    // or "" when none did. Any thread; blocks.
    static CascadeString FindSlimServer();
    // The same aimed at `broadcastAddress` (dotted IPv4) and `port`, which
    // is also the local port asked for. "" on a bad address.
    static CascadeString FindSlimServer(const char* broadcastAddress, unsigned short port);

    // Connect(host, port) with the port from g_portProto. Controlling thread.
    [[nodiscard]] bool Connect(const char* host);
    // Drops any previous link, then opens a link to `host`:`port` and starts
    // the reader thread. True when the first attempt succeeded; otherwise
    // false and the reader keeps retrying every 5 s. An empty host is
    // refused (false, no reader). Controlling thread.
    [[nodiscard]] bool Connect(const char* host, unsigned short port);
    // Stops the reader thread (promptly, also while it is retrying or
    // waiting in a receive) and closes the link. Always true. Controlling
    // thread, never the reader thread.
    bool Disconnect();

    // The client array does not own the clients. A callback already under
    // way may finish after UnregisterClient returns, so a client dies only
    // after Disconnect (or unregistering and disconnecting). Controlling
    // thread.
    void RegisterClient(Client* client);
    void UnregisterClient(Client* client);

    // Build and send one message each. False when nothing was sent: no link,
    // a failed send, or (for all but SendHello) no successful HELO yet. Any
    // thread, except SendBye: it stops the reader after a successful send and
    // belongs to the controlling thread (from the reader thread it only asks
    // the reader to stop).
    bool SendHello(bool playing);
    bool SendBye();
    bool SendIR(unsigned long code);
    bool SendDSCO(unsigned char reason);
    bool SendANIC();
    bool SendStatus(const StatusPacket& packet);

    // Low 32 bits of the milliseconds since construction. Any thread.
    unsigned long GetRunningMilliseconds() const;
    // Payload of the last "vers" command; "" before any. Any thread.
    CascadeString GetServerVersion() const;
    // The MAC address as lower-case "xx:xx:xx:xx:xx:xx", set by Connect.
    // Any thread.
    CascadeString GetPlayerId() const;
    // True while the reader holds an open link. Any thread.
    bool IsConnected() const;

    // The server-control connection over the CLI, made on first demand: its
    // player id is this player's MAC text and it connects to the server
    // address on the port of g_portCLI. Owned by this object and kept for
    // its whole life (Disconnect closes it; the next demand opens it again).
    // Any thread; two threads asking at once get the same connection.
    SlimCLIConnection* GetSlimCLIConnection();
    // The change listener, made, given the player id and connected on first
    // demand (after Disconnect, on the next demand). Owned by this object.
    // Any thread except the listener's own.
    SlimCLIListener* GetSlimCLIListener();

private:
    static constexpr std::size_t kMacBytes = 6;

    // Called by the reader thread.
    void NotifyClientData(const char* opcode, unsigned char* data, unsigned short length);
    void NotifyConnect() const;
    void NotifyDisconnect();
    // Frames and sends one message when a link is up.
    // A last frame closes the link to every later send in the same step as
    // it goes out, so no frame from another thread can follow it.
    bool SendData(const char* opcode, const unsigned char* data, unsigned long length, bool last = false);
    void StopSocket(bool afterGoodbye = false);
    CascadeTemplateArray<Client*> CopyClients() const;

    const uint64_t m_startTime;
    std::atomic<bool> m_helloSent{false};

    // Guards what the controlling thread writes and others read.
    struct Shared {
        CascadeTemplateArray<Client*> clients;
        CascadeString serverAddress;
        CascadeString serverVersion;
        CascadeString playerId;
        unsigned short port = kDefaultPort;
        std::array<unsigned char, kMacBytes> mac{};
    };
    mutable std::mutex m_sharedLock;
    Shared m_shared;

    // Guards the socket pointer: senders use the socket under it, Disconnect
    // swaps it out under it. Taken before the socket's own send lock.
    mutable std::mutex m_linkLock;
    std::unique_ptr<SlimServerSocket> m_socket;

    // The CLI objects, made on first demand. The listener uses the
    // connection, so it is declared after it and dies first.
    mutable std::mutex m_cliLock;
    std::unique_ptr<SlimCLIConnection> m_cliConnection;
    std::unique_ptr<SlimCLIListener> m_cliListener;
    bool m_cliClosed = false;       // Disconnect closed the connection
};

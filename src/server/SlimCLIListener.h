#pragma once

#include "platform/CascadeClientSocket.h"
#include "platform/CascadeString.h"
#include "platform/CascadeThread.h"
#include "server/SlimConnection.h"
#include "server/SongInfo.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Listens on a second CLI connection, switched to the server's notification
// mode ("listen 1"), and tells its clients when this player's song,
// playlist, shuffle or repeat mode changes, whoever changed it. Lines for
// other players and other commands are logged and dropped.
//
// Threads: SetPlayerId, Connect and Disconnect belong to the owner (the
// controlling thread). RegisterClient and UnregisterClient may be called
// from any thread. Client callbacks run on the listener thread,
// "cli-listen". The listener reopens a lost link by itself (back-off 0.5 s
// doubling to 8 s, logged) and switches notifications on again.
class SlimCLIListener : private CascadeThread {
public:
    static constexpr std::size_t kBufferSize = 8192;
    static constexpr unsigned long kTimeoutMs = 5000;

    // Observer of this player's changes. Every callback runs on the listener
    // thread; arguments are valid only during the call. A callback may make
    // CLI requests (the Now Playing screen re-reads the status right there):
    // they take the CLI connection's request lock, and the listener holds
    // none of its own locks during a callback, so no order of the two locks
    // exists that could deadlock. A callback must never wait for the UI
    // thread, nor for an UnregisterClient that waits for callbacks.
    class Client {
    public:
        virtual void OnSongChanged(const SongInfo& song) = 0;
        // `change` is the notification's sub-command ("delete", "clear", ...).
        virtual void OnPlaylistChanged(const char* change) = 0;
        virtual void OnRepeatChanged(uint8_t mode) = 0;
        virtual void OnShuffleChanged(uint8_t mode) = 0;

    protected:
        ~Client() = default;
    };

    // `connection` serves the status read of a song change; it must outlive
    // the listener.
    explicit SlimCLIListener(SlimConnection& connection);
    ~SlimCLIListener() override;

    // The player's MAC address text; notifications are matched against it
    // written the server's way ("00%3A04%3A..."). An empty id takes every
    // player's lines.
    void SetPlayerId(const CascadeString& playerId);
    // Opens the notification link and starts the listener thread. False when
    // already started (nothing changes) or when the first attempt failed;
    // in that case the thread keeps trying.
    [[nodiscard]] bool Connect(const char* host, unsigned short port);
    // Tests hand in one end of a socketpair; never reopened. False when
    // already started or for a bad descriptor.
    [[nodiscard]] bool Attach(int fd);
    // Sends "listen 0" and "exit", stops the thread (promptly) and closes the
    // link. Never from a client callback.
    void Disconnect();
    // True while the notification link is open.
    bool IsListening() const { return m_listening.load(); }
    // The server is known to be back: a listener waiting out its back-off
    // tries again at once. Any thread.
    void RetryNow();
    // True between Connect (or Attach) and Disconnect. Any thread.
    bool IsStarted() const { return m_started; }

    enum class UnregisterMode {
        kWaitForCallbacks,  // returns when no callback to the client runs
        kStopLaterOnes,     // returns at once; a running callback may finish
    };

    // A client is kept once; the array does not own it. Once
    // UnregisterClient returns, no callback to that client will start; with
    // kWaitForCallbacks none is running either (from a callback itself it
    // only stops later ones). A window that merely vanishes uses
    // kStopLaterOnes, so the UI thread never waits for a callback that waits
    // for a slow server; it waits only before the client dies.
    void RegisterClient(Client* client);
    void UnregisterClient(Client* client, UnregisterMode mode = UnregisterMode::kWaitForCallbacks);

    // Reads the status and hands its current song to every client. Listener
    // thread (or a test).
    void NotifySongChange();

private:
    void ThreadProc() override;
    [[nodiscard]] bool OpenAndListen();
    void ReadUntilLost();
    void WaitBeforeRetry(unsigned long& backoffMs);
    void HandleLine(std::string_view line);
    void HandlePlaylistLine(std::string_view subCommand, std::string_view value, std::string_view command);
    // The mode a shuffle or repeat line gives: its value, or, when it has
    // none, the `mode` field of the status read again.
    uint8_t ModeValue(std::string_view value, uint8_t SlimConnection::PlayerStatus::*mode);
    template <typename Call>
    void ForEachClient(Call call);
    [[nodiscard]] bool SendLocked(const char* text);

    SlimConnection& m_connection;
    CascadeString m_playerId;          // owner writes before Connect
    CascadeString m_escapedPlayerId;
    CascadeString m_host;
    unsigned short m_port = 0;
    bool m_reconnect = true;           // false for an attached link

    // The socket: the listener thread opens, closes and receives; sends and
    // Open/Close happen under m_socketLock so Disconnect can send from its
    // thread.
    CascadeClientSocket m_socket;
    std::mutex m_socketLock;
    std::atomic<bool> m_listening{false};

    // Stop request and back-off waits.
    std::mutex m_stopLock;
    std::condition_variable m_stopChanged;
    bool m_stop = false;
    bool m_retryNow = false;
    std::atomic<bool> m_started{false};

    // The clients and the callback passes over them.
    std::mutex m_clientsLock;
    std::condition_variable m_passDone;
    std::vector<Client*> m_clients;
    int m_passes = 0;
    std::atomic<std::thread::id> m_threadId{};
};

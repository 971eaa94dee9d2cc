#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The listening end of the ECP socket: a local stream socket (mode 0600 in a
// directory of mode 0700) taking one command per line and answering each
// with one line. Runs its own thread ("ecp") that accepts, and a thread per
// connection ("ecp-client") that calls the handler, which must return the
// reply (the application hands it to the UI thread). A command that waits
// (a song query while the server is slow) holds up only its own connection:
// the handler may be called on several threads at once.
class CascadeEcpServer {
public:
    using Handler = std::function<std::string(const std::string& command)>;

    CascadeEcpServer() = default;
    CascadeEcpServer(const CascadeEcpServer&) = delete;
    CascadeEcpServer& operator=(const CascadeEcpServer&) = delete;
    ~CascadeEcpServer();  // Stop

    enum class StartResult {
        kStarted,
        kTaken,   // another live instance owns the socket
        kFailed,  // the path or the socket could not be used (logged)
    };
    // Binds `path` and starts serving. The socket belongs to whoever holds
    // the lock file beside it (`path` + ".lock", kept locked until Stop), so
    // two processes starting together never both serve it: the second gets
    // kTaken. A stale socket file (its owner gone) is replaced.
    [[nodiscard]] StartResult Start(const std::string& path, Handler handler);
    void Stop();

private:
    struct Client {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    // Connections served at once; more are closed at once (logged).
    static constexpr std::size_t kMaxClients = 16;

    void Serve();
    void ServeClient(int fd);
    void StartClient(int fd);
    // Joins the client threads that ended (all of them, waiting, with `all`).
    void JoinClients(bool all);

    Handler m_handler;
    std::string m_path;
    int m_lockFd = -1;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::vector<Client> m_clients;  // the "ecp" thread's, then Stop's once it ended
};

#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// The listening end of the ECP socket: a local stream socket (mode 0600 in a
// directory of mode 0700) taking one command per line and answering each
// with one line. Runs its own thread ("ecp"); the handler is called there
// and must return the reply (the application hands it to the UI thread).
class CascadeEcpServer {
public:
    using Handler = std::function<std::string(const std::string& command)>;

    CascadeEcpServer() = default;
    CascadeEcpServer(const CascadeEcpServer&) = delete;
    CascadeEcpServer& operator=(const CascadeEcpServer&) = delete;
    ~CascadeEcpServer();  // Stop

    // Binds `path` and starts serving. A socket file that another live
    // process answers on is left alone (false); a stale one is replaced.
    [[nodiscard]] bool Start(const std::string& path, Handler handler);
    void Stop();

private:
    void Serve();
    void ServeClient(int fd);

    Handler m_handler;
    std::string m_path;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

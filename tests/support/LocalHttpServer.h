#pragma once

// A small HTTP/1.1 server on 127.0.0.1 for tests. Each path gets a scripted
// answer: a fixed body, a chunked body, a redirect, an error status, a body
// that stalls after some bytes, or a slow trickle. Every connection is closed
// after its response.
//
//   LocalHttpServer server;
//   ASSERT_TRUE(server.Start());
//   server.Route("/song.mp3", LocalHttpServer::Body(bytes));
//   stream.Open(server.Url("/song.mp3").c_str());
//
// Threads: Route, Url and the request queries may be called from any thread;
// one accept thread and one thread per connection serve the requests. Stop
// (also run by the destructor) ends stalled responses and joins every thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class LocalHttpServer {
public:
    struct Request {
        std::string path;   // without the query
        std::string query;  // after "?", "" when absent
    };

    struct Response {
        int status = 200;
        std::string body;
        std::string contentType = "application/octet-stream";
        std::string location;  // sent as a Location header when set
        bool chunked = false;
        std::size_t pieceSize = 0;                   // chunk or trickle piece; 0: the body at once
        unsigned trickleDelayMs = 0;                 // pause between pieces
        std::size_t stallAfter = std::string::npos;  // body bytes sent before holding the line open
    };
    using Handler = std::function<Response(const Request&)>;

    // Ready-made answers; each names only the fields it sets.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
    static Response Body(std::string body, std::string contentType = "application/octet-stream") {
        return {.body = std::move(body), .contentType = std::move(contentType)};
    }
    static Response Chunked(std::string body, std::size_t chunkSize = 1000) {
        return {.body = std::move(body), .chunked = true, .pieceSize = chunkSize};
    }
    static Response Redirect(std::string location, int status = 302) {
        return {.status = status, .location = std::move(location)};
    }
    static Response Status(int status) {
        return {.status = status, .body = "Status " + std::to_string(status) + "\n", .contentType = "text/plain"};
    }
    // Announces the whole length but sends only `sentBytes` of it, then waits
    // until the server stops.
    static Response Stalling(std::string body, std::size_t sentBytes) {
        return {.body = std::move(body), .stallAfter = sentBytes};
    }
    static Response Trickle(std::string body, std::size_t pieceSize, unsigned delayMs) {
        return {.body = std::move(body), .pieceSize = pieceSize, .trickleDelayMs = delayMs};
    }
#pragma GCC diagnostic pop

    LocalHttpServer() = default;
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;
    ~LocalHttpServer() {
        Stop();
    }

    // Listens on 127.0.0.1 at a free port. False when the socket cannot be set up.
    [[nodiscard]] bool Start();
    void Stop();

    unsigned short Port() const {
        return m_port;
    }
    // "http://127.0.0.1:<port><path>"
    std::string Url(std::string_view path) const;

    // Unknown paths answer 404.
    void Route(const std::string& path, Response response);
    void Route(const std::string& path, Handler handler);

    std::vector<Request> Requests() const;
    std::size_t RequestCount(std::string_view path) const;

private:
    void AcceptLoop();
    void Serve(int fd);
    void Respond(int fd, const Response& response);
    // Sleeps up to `time` or until Stop; false once stopping.
    [[nodiscard]] bool Pause(std::chrono::milliseconds time);

    int m_listenFd = -1;
    unsigned short m_port = 0;
    std::thread m_acceptThread;
    std::atomic<bool> m_stopping{false};

    // Routes, the request log and the live connections, under one lock.
    mutable std::mutex m_lock;
    std::condition_variable m_stopSignal;
    std::map<std::string, Handler> m_routes;
    std::vector<Request> m_requests;
    std::vector<int> m_connectionFds;
    std::vector<std::thread> m_connectionThreads;
};

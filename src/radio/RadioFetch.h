#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

class CascadeHTTPStream;

// Fetches whole directory feeds and outlines over HTTP with time-outs, so a
// directory that does not answer, stalls or trickles forever fails cleanly
// instead of holding the radio browser's loader.
//
// Threads: Fetch runs on one thread at a time (the radio browser's loader,
// or its UI thread when it opens an outline); Abort, Resume and FetchCount
// may be called from any thread.
class RadioFetch {
public:
    struct Limits {
        unsigned long stallMs = 10000;     // no byte (or no response) for this long fails
        unsigned long totalMs = 30000;     // the whole body must be in within this
        std::size_t maxBytes = 32u << 20;  // a bigger body is refused, not held
    };

    RadioFetch() = default;
    explicit RadioFetch(Limits limits) : m_limits(limits) {}
    RadioFetch(const RadioFetch&) = delete;
    RadioFetch& operator=(const RadioFetch&) = delete;

    // Fetches `url` and replaces `body` with the whole body. False, with a
    // "radio:" log line naming the URL and the reason, when it cannot be
    // opened, answers with an error status, stalls, passes the limits or is
    // aborted; `body` is then empty.
    [[nodiscard]] bool Fetch(const char* url, std::string& body);

    // Makes a Fetch in progress return false promptly, and every later one
    // until Resume. Any thread.
    void Abort();
    void Resume();

    // The number of fetches started so far.
    unsigned long FetchCount() const { return m_fetchCount.load(); }

    const Limits& GetLimits() const { return m_limits; }

private:
    [[nodiscard]] bool Register(CascadeHTTPStream* stream);
    void Unregister();
    [[nodiscard]] bool ReadBody(CascadeHTTPStream& stream, const char* url, std::string& body);
    bool IsAborted();

    Limits m_limits;
    std::atomic<unsigned long> m_fetchCount{0};

    // The stream in flight and the abort request, under one lock; the lock
    // is never held across a network call (Abort only wakes the stream).
    std::mutex m_lock;
    CascadeHTTPStream* m_current = nullptr;
    bool m_aborted = false;
};

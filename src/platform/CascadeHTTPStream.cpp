#include "platform/CascadeHTTPStream.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/detail/CurlHandles.h"
#include "platform/detail/CurlTransfer.h"

namespace {

using Clock = std::chrono::steady_clock;
using detail::CurlTransfer;

// Upper bound of one wait inside curl, so a missed wake-up costs little.
constexpr int kMaxPollMs = 1000;

enum class Outcome { Ready, TimedOut, Aborted };

}  // namespace

struct CascadeHTTPStream::Impl {
    detail::CurlMulti multi;
    std::unique_ptr<CurlTransfer> current;
    bool readsEnded = false;  // a stall, failure or abort ended the body early

    // Lets curl move bytes and collects finished transfers. `extra` is a
    // transfer being opened next to the current one (a seek).
    void Pump(CurlTransfer* extra) {
        int running = 0;
        curl_multi_perform(multi.get(), &running);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
            if (msg->msg != CURLMSG_DONE) continue;
            for (CurlTransfer* t : {current.get(), extra})
                if (t && t->Easy() == msg->easy_handle) t->MarkDone(msg->data.result);
        }
    }

    // Drives the transfers until `ready` holds, at most `timeoutMs` without
    // it, or until one of the two stop flags is set.
    template <typename Ready>
    Outcome Drive(CurlTransfer* extra, unsigned long timeoutMs, const std::atomic<bool>& aborted,
                  const std::atomic<bool>& cancelled, Ready ready) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (aborted.load() || cancelled.load()) return Outcome::Aborted;
            Pump(extra);
            if (ready()) return Outcome::Ready;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return Outcome::TimedOut;
            curl_multi_poll(multi.get(), nullptr, 0, int(std::min<long long>(left, kMaxPollMs)), nullptr);
        }
    }
};

CascadeHTTPStream::CascadeHTTPStream() : m_impl(std::make_unique<Impl>()) {}

CascadeHTTPStream::~CascadeHTTPStream() {
    Close();
    std::lock_guard<std::mutex> lock(m_abortLock);
    m_impl->multi.reset();
}

bool CascadeHTTPStream::EnsureMulti() {
    if (m_impl->multi) return true;
    if (!detail::EnsureCurlGlobalInit()) return false;
    std::lock_guard<std::mutex> lock(m_abortLock);
    m_impl->multi.reset(curl_multi_init());
    return m_impl->multi != nullptr;
}

bool CascadeHTTPStream::Open(const char* url) {
    Close();
    if (m_cancelled) {
        m_lastError = Error::Aborted;
        return false;
    }
    m_aborted = false;
    m_lastError = Error::None;
    m_url = url;
    if (m_url.IsEmpty()) return FailOpen("no address given");
    if (!EnsureMulti()) return FailOpen("libcurl is not available");
    std::string error;
    auto transfer = CurlTransfer::Start(m_impl->multi.get(), m_url.Std(), 0, error);
    if (!transfer) return FailOpen(error.c_str());
    // Until it is accepted the transfer travels as the `extra` one.
    CurlTransfer& t = *transfer;
    const Outcome outcome =
        m_impl->Drive(&t, m_stallTimeoutMs, m_aborted, m_cancelled, [&] { return t.HeadersDone(); });
    if (outcome == Outcome::Aborted) {
        m_lastError = Error::Aborted;
        return false;
    }
    if (outcome == Outcome::TimedOut) return FailOpen("no response in time");
    if (t.Failed()) return FailOpen(t.FailureText().c_str());
    if (t.Status() < 200 || t.Status() > 299) {
        const std::string reason = "status " + std::to_string(t.Status());
        return FailOpen(reason.c_str());
    }
    m_impl->current = std::move(transfer);
    return true;
}

bool CascadeHTTPStream::FailOpen(const char* reason) {
    std::fprintf(stderr, "http: %s: %s\n", m_url.IsEmpty() ? "\"\"" : m_url.c_str(), reason);
    m_lastError = Error::OpenFailed;
    return false;
}

long CascadeHTTPStream::ReadBytes(void* buffer, std::size_t length) {
    if (!m_impl->current || m_impl->readsEnded || length == 0) return 0;
    CurlTransfer& t = *m_impl->current;
    const Outcome outcome = m_impl->Drive(nullptr, m_stallTimeoutMs, m_aborted, m_cancelled,
                                          [&] { return t.Buffered() > 0 || t.Done(); });
    if (outcome == Outcome::Aborted) return EndRead(Error::Aborted, nullptr);
    if (t.Buffered() > 0) {
        const std::size_t n = t.Take(buffer, length);
        m_delivered += n;
        return long(n);
    }
    if (outcome == Outcome::TimedOut) {
        const std::string reason = "no data for " + std::to_string(m_stallTimeoutMs) + " ms";
        return EndRead(Error::Stalled, reason.c_str());
    }
    if (t.Failed()) return EndRead(Error::Transfer, t.FailureText().c_str());
    return 0;
}

long CascadeHTTPStream::EndRead(Error error, const char* reason) {
    if (reason) std::fprintf(stderr, "http: %s: %s\n", m_url.c_str(), reason);
    m_lastError = error;
    m_impl->readsEnded = true;
    return 0;
}

uint64_t CascadeHTTPStream::GetSize() const {
    return m_impl->current ? m_impl->current->TotalSize() : 0;
}

uint64_t CascadeHTTPStream::GetPosition() const {
    return m_impl->current ? m_impl->current->BodyStart() + m_delivered : 0;
}

CascadeString CascadeHTTPStream::GetContentType() const {
    return m_impl->current ? CascadeString(m_impl->current->ContentType()) : CascadeString();
}

bool CascadeHTTPStream::SeekToPosition(uint64_t position) {
    if (!m_impl->current) {
        std::fprintf(stderr, "http: %s: seek to %llu without an open stream\n", m_url.c_str(),
                     (unsigned long long)position);
        return false;
    }
    if (position == GetPosition() && !m_impl->readsEnded) return true;
    std::string error;
    auto transfer = CurlTransfer::Start(m_impl->multi.get(), m_url.Std(), position, error);
    if (!transfer) {
        std::fprintf(stderr, "http: %s: seek to %llu: %s\n", m_url.c_str(), (unsigned long long)position,
                     error.c_str());
        return false;
    }
    CurlTransfer& t = *transfer;
    const Outcome outcome =
        m_impl->Drive(&t, m_stallTimeoutMs, m_aborted, m_cancelled, [&] { return t.HeadersDone(); });
    const bool served = (t.Status() == 206 && t.BodyStart() == position) || (t.Status() == 200 && position == 0);
    if (outcome != Outcome::Ready || t.Failed() || !served) {
        std::fprintf(stderr, "http: %s: seek to %llu refused (status %d)\n", m_url.c_str(),
                     (unsigned long long)position, t.Status());
        return false;
    }
    m_impl->current = std::move(transfer);
    m_impl->readsEnded = false;
    m_delivered = 0;
    m_lastError = Error::None;
    return true;
}

bool CascadeHTTPStream::Close() {
    m_impl->current.reset();
    m_impl->readsEnded = false;
    m_delivered = 0;
    return true;
}

bool CascadeHTTPStream::IsOpen() const { return m_impl->current != nullptr; }

void CascadeHTTPStream::Cancel() {
    m_cancelled = true;
    Abort();
}

void CascadeHTTPStream::Abort() {
    m_aborted = true;
    // curl_multi_wakeup is thread-safe and does not block; the lock only
    // keeps the handle from being freed under it.
    std::lock_guard<std::mutex> lock(m_abortLock);
    if (m_impl->multi) curl_multi_wakeup(m_impl->multi.get());
}

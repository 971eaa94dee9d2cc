#include "radio/RadioFetch.h"

#include "app/base/AppLog.h"
#include "platform/CascadeHTTPStream.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kReadSize = 16384;

}  // namespace

bool RadioFetch::Fetch(const char* url, std::string& body) {
    body.clear();
    ++m_fetchCount;
    if (!url || *url == '\0') {
        AppLog::WriteToLog("radio: no address to fetch\n", false);
        return false;
    }
    CascadeHTTPStream stream;
    if (!Register(&stream)) {
        AppLog::WriteToLog("radio: %s: not fetched, loading was cancelled\n", false, url);
        return false;
    }
    stream.SetStallTimeout(std::min(m_limits.stallMs, m_limits.totalMs));
    bool ok = stream.Open(url);
    if (!ok && IsAborted())
        AppLog::WriteToLog("radio: %s: loading was cancelled\n", false, url);
    else if (!ok)
        AppLog::WriteToLog("radio: %s: no answer\n", false, url);
    if (ok) ok = ReadBody(stream, url, body);
    Unregister();
    if (!ok) body.clear();
    return ok;
}

bool RadioFetch::ReadBody(CascadeHTTPStream& stream, const char* url, std::string& body) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_limits.totalMs);
    std::array<char, kReadSize> buffer{};
    for (;;) {
        if (IsAborted()) {
            AppLog::WriteToLog("radio: %s: loading was cancelled\n", false, url);
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            AppLog::WriteToLog("radio: %s: body not complete within %lu ms\n", false, url, m_limits.totalMs);
            return false;
        }
        stream.SetStallTimeout(std::min<unsigned long>(m_limits.stallMs, (unsigned long)left));
        const long count = stream.ReadBytes(buffer.data(), buffer.size());
        if (count <= 0) break;
        if (body.size() + std::size_t(count) > m_limits.maxBytes) {
            AppLog::WriteToLog("radio: %s: body larger than %zu bytes, refused\n", false, url, m_limits.maxBytes);
            return false;
        }
        body.append(buffer.data(), std::size_t(count));
    }
    if (IsAborted()) {
        AppLog::WriteToLog("radio: %s: loading was cancelled\n", false, url);
        return false;
    }
    if (stream.HasFailed()) {
        AppLog::WriteToLog("radio: %s: the answer broke off after %zu bytes\n", false, url, body.size());
        return false;
    }
    return true;
}

bool RadioFetch::Register(CascadeHTTPStream* stream) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_aborted) return false;
    m_current = stream;
    return true;
}

void RadioFetch::Unregister() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_current = nullptr;
}

bool RadioFetch::IsAborted() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_aborted;
}

void RadioFetch::Abort() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_aborted = true;
    // Abort only sets a flag and wakes the transfer; it does not block.
    if (m_current) m_current->Abort();
}

void RadioFetch::Resume() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_aborted = false;
}

#include "platform/detail/CurlTransfer.h"

#include "platform/CascadeDecimal.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace detail {

namespace {

constexpr long kMaxRedirects = 10;


std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

}  // namespace

std::unique_ptr<CurlTransfer> CurlTransfer::Start(CURLM* multi, const std::string& url, uint64_t rangeStart,
                                                  std::string& error) {
    if (!EnsureCurlGlobalInit()) {
        error = "libcurl is not available";
        return nullptr;
    }
    auto transfer = std::make_unique<CurlTransfer>(Key{});
    transfer->m_multi = multi;
    transfer->m_easy.reset(curl_easy_init());
    if (!transfer->m_easy || !transfer->Configure(url, rangeStart)) {
        error = transfer->m_errorText[0] ? transfer->m_errorText : "cannot set up the request";
        return nullptr;
    }
    if (curl_multi_add_handle(multi, transfer->m_easy.get()) != CURLM_OK) {
        error = "cannot start the request";
        return nullptr;
    }
    transfer->m_added = true;
    return transfer;
}

bool CurlTransfer::Configure(const std::string& url, uint64_t rangeStart) {
    CURL* e = m_easy.get();
    bool ok = curl_easy_setopt(e, CURLOPT_ERRORBUFFER, m_errorText) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_TCP_KEEPALIVE, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_USERAGENT, "Quendrel/0.1") == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlTransfer::WriteTrampoline) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_WRITEDATA, this) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlTransfer::HeaderTrampoline) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_HEADERDATA, this) == CURLE_OK;
    if (ok && rangeStart > 0) {
        const std::string range = std::to_string(rangeStart) + "-";
        ok = curl_easy_setopt(e, CURLOPT_RANGE, range.c_str()) == CURLE_OK;  // curl copies the text
    }
    return ok;
}

CurlTransfer::~CurlTransfer() {
    if (m_added) curl_multi_remove_handle(m_multi, m_easy.get());
}

void CurlTransfer::MarkDone(CURLcode result) {
    m_done = true;
    m_result = result;
    // A transfer that ends without a final header block (connection refused,
    // too many redirects) has nothing more to wait for.
    m_headersDone = true;
}

std::string CurlTransfer::FailureText() const {
    if (m_result == CURLE_OK) return {};
    if (m_errorText[0]) return m_errorText;
    return curl_easy_strerror(m_result);
}

uint64_t CurlTransfer::TotalSize() const {
    if (m_rangeTotal > 0) return m_rangeTotal;
    if (m_haveLength) return m_rangeFirst + m_contentLength;
    return 0;
}

std::size_t CurlTransfer::Take(void* buffer, std::size_t length) {
    const std::size_t n = std::min(length, Buffered());
    std::memcpy(buffer, m_data.data() + m_head, n);
    m_head += n;
    if (m_head == m_data.size()) {
        m_data.clear();
        m_head = 0;
    }
    if (m_paused && kCapacity - Buffered() >= kResumeRoom) {
        m_paused = false;
        // curl may hand over the held bytes from inside this call.
        curl_easy_pause(m_easy.get(), CURLPAUSE_CONT);
    }
    return n;
}

std::size_t CurlTransfer::WriteTrampoline(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<CurlTransfer*>(self)->OnWrite(data, size * count);
}

std::size_t CurlTransfer::HeaderTrampoline(char* data, std::size_t size, std::size_t count, void* self) {
    static_cast<CurlTransfer*>(self)->OnHeader(std::string_view(data, size * count));
    return size * count;
}

std::size_t CurlTransfer::OnWrite(const char* data, std::size_t length) {
    // curl cannot take back part of a chunk: accept all of it or hold the
    // transfer. An empty buffer takes any chunk so nothing can wedge.
    if (Buffered() > 0 && Buffered() + length > kCapacity) {
        m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (m_head > 0 && m_head >= m_data.size() / 2) {
        m_data.erase(m_data.begin(), m_data.begin() + std::ptrdiff_t(m_head));
        m_head = 0;
    }
    m_data.insert(m_data.end(), data, data + length);
    return length;
}

void CurlTransfer::OnHeader(std::string_view line) {
    if (line.starts_with("HTTP/") || line.starts_with("ICY ")) {
        // A new response (after a redirect or an interim reply) starts afresh.
        const auto space = line.find(' ');
        m_status = int(CascadeDecimal::ParseCount(line.substr(space == std::string_view::npos ? line.size() : space)));
        m_sawLocation = m_haveLength = false;
        m_contentLength = m_rangeFirst = m_rangeTotal = 0;
        m_contentType.clear();
        return;
    }
    if (TrimBlanks(line).empty()) {
        OnHeaderBlockEnd();
        return;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return;
    OnHeaderField(TrimBlanks(line.substr(0, colon)), TrimBlanks(line.substr(colon + 1)));
}

void CurlTransfer::OnHeaderField(std::string_view name, std::string_view value) {
    if (SameName(name, "Content-Length")) {
        m_haveLength = !value.empty() && value.front() >= '0' && value.front() <= '9';
        m_contentLength = CascadeDecimal::ParseCount(value);
    } else if (SameName(name, "Content-Type")) {
        m_contentType = std::string(value);
    } else if (SameName(name, "Location")) {
        m_sawLocation = true;
    } else if (SameName(name, "Content-Range") && value.starts_with("bytes ")) {
        value.remove_prefix(6);
        m_rangeFirst = CascadeDecimal::ParseCount(value);
        const auto slash = value.find('/');
        if (slash != std::string_view::npos) m_rangeTotal = CascadeDecimal::ParseCount(value.substr(slash + 1));
    }
}

void CurlTransfer::OnHeaderBlockEnd() {
    if (m_status >= 100 && m_status < 200) return;     // interim reply; the real one follows
    if (m_status >= 300 && m_status < 400 && m_sawLocation) return;  // curl follows it
    m_headersDone = true;
}

}  // namespace detail

#include "server/SlimCLIConnection.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeDecimal.h"
#include "platform/CascadeTime.h"
#include "server/CliRequestKind.h"
#include "server/CliText.h"
#include "server/EUtils.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr unsigned long kFirstBackoffMs = 500;
constexpr unsigned long kLastBackoffMs = 8000;

bool EndsWithLineFeed(const char* bytes, std::size_t length) { return length > 0 && bytes[length - 1] == '\n'; }

// The server's reply starts with the request's first word (the player id or
// the command), escaped as the server escapes it.
bool EchoesRequest(std::string_view request, std::string_view reply) {
    const std::string_view first = CliText::WordAt(CliText::Trim(request), 0);
    const CascadeString echoed = CliText::Decode(CliText::WordAt(reply, 0));
    const CascadeString asked = CliText::Decode(first);
    return !first.empty() && echoed.GetLength() == asked.GetLength() &&
           CliText::StartsWithNoCase(echoed.c_str(), asked.c_str());
}

// At most `limit` bytes of `text` for a log line, bytes outside printable
// ASCII written as \xNN.
std::string Printable(std::string_view text, std::size_t limit) {
    std::string out;
    for (const char c : text.substr(0, limit)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        }
    }
    if (text.size() > limit) out += "...";
    return out;
}

}  // namespace

SlimCLIConnection::SlimCLIConnection() : m_webPort(g_portWeb) {
    m_link.buffer = std::make_unique<char[]>(kReplySize);
}

SlimCLIConnection::~SlimCLIConnection() { Disconnect(); }

bool SlimCLIConnection::Connect(const char* host, unsigned short port) {
    std::lock_guard lock(m_requestLock);
    m_serverAddress = host;
    m_link.host = host;
    m_link.port = port;
    m_link.wanted = true;
    m_link.backoffMs = 0;
    m_link.nextAttemptMs = 0;
    if (OpenLinkLocked(kTimeoutMs)) return true;
    NoteLinkLostLocked("cannot connect");
    return false;
}

bool SlimCLIConnection::Attach(int fd) {
    std::lock_guard lock(m_requestLock);
    m_link.wanted = false;
    m_link.down = false;
    return m_link.socket.Attach(fd);
}

void SlimCLIConnection::Disconnect() {
    std::lock_guard lock(m_requestLock);
    m_link.wanted = false;
    m_link.socket.Close();
}

bool SlimCLIConnection::IsConnected() {
    std::lock_guard lock(m_requestLock);
    return m_link.socket.IsOpen() && m_link.socket.GetLastError() == 0;
}

void SlimCLIConnection::RetryNow() { m_retryNow = true; }

bool SlimCLIConnection::OpenLinkLocked(unsigned long timeoutMs) {
    if (m_link.host.IsEmpty()) return false;
    m_link.socket.Close();
    if (!m_link.socket.Open(CascadeClientSocket::kTypeStream, m_link.host.c_str(), m_link.port, timeoutMs))
        return false;
    if (m_link.down)
        AppLog::WriteToLog("cli: connected again to %s:%u after %lu attempts\n", true, m_link.host.c_str(),
                           m_link.port, m_link.attempts);
    m_link.down = false;
    m_link.attempts = 0;
    m_link.backoffMs = 0;
    return true;
}

void SlimCLIConnection::NoteLinkLostLocked(const char* why) {
    if (!m_link.down)
        AppLog::WriteToLog("cli: link to %s:%u down (%s, error %i); reconnecting with back-off\n", true,
                           m_link.host.c_str(), m_link.port, why, m_link.socket.GetLastError());
    m_link.down = true;
    m_link.socket.Close();
    m_link.backoffMs = m_link.backoffMs == 0 ? kFirstBackoffMs : std::min(m_link.backoffMs * 2, kLastBackoffMs);
    m_link.nextAttemptMs = CascadeTime::GetUptimeMilliseconds() + m_link.backoffMs;
}

bool SlimCLIConnection::EnsureLinkLocked() {
    // A link the server closed since the last exchange (a restart) is found
    // here, before a request goes into it and is lost with it.
    if (m_link.socket.IsOpen() && !m_link.socket.HasPeerClosed()) return true;
    if (m_link.socket.IsOpen()) {
        // The peer closed the link since the last exchange: try again at once.
        AppLog::WriteToLog("CLI socket error: %i\n", true, m_link.socket.GetLastError());
        NoteLinkLostLocked("closed by the server");
        m_link.nextAttemptMs = 0;
    }
    if (m_retryNow.exchange(false)) {
        m_link.nextAttemptMs = 0;
        m_link.backoffMs = 0;
    }
    if (!m_link.wanted || CascadeTime::GetUptimeMilliseconds() < m_link.nextAttemptMs) return false;
    ++m_link.attempts;
    if (OpenLinkLocked(kReconnectTimeoutMs)) return true;
    NoteLinkLostLocked("reconnect refused");
    return false;
}

bool SlimCLIConnection::GetData(std::string_view request, std::string& reply) {
    reply.clear();
    if (request.empty()) return false;
    if (request.size() >= kRequestSize) {
        AppLog::WriteToLog("cli: request of %zu bytes refused (at most %zu): %.60s...\n", true, request.size(),
                           kRequestSize - 1, std::string(request).c_str());
        return false;
    }
    const std::size_t lineEnd = request.find_first_of(std::string_view("\r\n\0", 3));
    if (lineEnd != request.size() - 1 || request.back() != '\n') {
        AppLog::WriteToLog("cli: request refused, it is not one line: %.60s\n", true, std::string(request).c_str());
        return false;
    }
    std::lock_guard lock(m_requestLock);
    if (!EnsureLinkLocked()) {
        AppLog::WriteToLog("cli: link down, request not sent: %s", false, std::string(request).c_str());
        return false;
    }
    AppLog::WriteToLog("request: %s", false, std::string(request).c_str());
    Outcome outcome = ExchangeLocked(request, reply);
    if (outcome == Outcome::NothingPeerClosed && m_link.wanted) {
        NoteLinkLostLocked("closed by the server");
        m_link.nextAttemptMs = 0;
        // The server may have run a command before it closed the link; only
        // a query is safe to send again.
        if (!CliRequestKind::IsQuery(request)) {
            AppLog::WriteToLog("cli: link lost during a command, not sent again: %s", true,
                               std::string(request).c_str());
            return false;
        }
        if (!EnsureLinkLocked()) return false;
        outcome = ExchangeLocked(request, reply);
    }
    if (outcome == Outcome::Complete && !EchoesRequest(request, reply)) {
        // Not this request's reply: bytes of no meaning, or the late reply
        // of an earlier request. Either way the link is out of step.
        AppLog::WriteToLog("cli: the reply to \"%s\" is not its answer (\"%s\"); dropped, the link is reopened\n",
                           true, Printable(CliText::Trim(request), 60).c_str(), Printable(reply, 60).c_str());
        NoteLinkLostLocked("reply out of step");
        m_link.nextAttemptMs = 0;
        reply.clear();
        return false;
    }
    AppLog::WriteToLog("response: %s\n", false, reply.c_str());
    return outcome == Outcome::Complete;
}

SlimCLIConnection::Outcome SlimCLIConnection::ExchangeLocked(std::string_view request, std::string& reply) {
    CascadeClientSocket& socket = m_link.socket;
    if (socket.Send(request.data(), request.size(), kTimeoutMs) != long(request.size()))
        return Outcome::NothingPeerClosed;
    char* buffer = m_link.buffer.get();
    const std::size_t room = kReplySize - 1;
    std::size_t length = 0;
    while (length < room) {
        const long got = socket.Receive(buffer + length, room - length, kTimeoutMs);
        if (got <= 0) break;
        length += std::size_t(got);
        if (EndsWithLineFeed(buffer, length)) break;
    }
    const bool complete = EndsWithLineFeed(buffer, length);
    reply.assign(buffer, complete ? length - 1 : length);
    if (complete) return Outcome::Complete;
    if (length == room) {
        AppLog::WriteToLog("cli: reply longer than %zu bytes cut; the rest of the line is dropped\n", true, room);
        DrainLineLocked();
        return Outcome::Partial;
    }
    if (length == 0 && socket.GetLastError() != 0) return Outcome::NothingPeerClosed;
    // A late rest of this reply would be read as the next reply: start over.
    AppLog::WriteToLog("cli: no complete reply within %lu ms (%zu bytes); the link is reopened\n", true, kTimeoutMs,
                       length);
    NoteLinkLostLocked("reply incomplete");
    m_link.nextAttemptMs = 0;
    return Outcome::Partial;
}

void SlimCLIConnection::DrainLineLocked() {
    char* buffer = m_link.buffer.get();
    while (true) {
        const long got = m_link.socket.Receive(buffer, kReplySize, kTimeoutMs);
        if (got <= 0) {
            NoteLinkLostLocked("reply incomplete");
            m_link.nextAttemptMs = 0;
            return;
        }
        if (EndsWithLineFeed(buffer, std::size_t(got))) return;
    }
}

bool SlimCLIConnection::FormatV(std::string& request, const char* format, va_list args) {
    char buffer[kRequestSize];
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (length < 0 || std::size_t(length) >= sizeof buffer) {
        // Cutting would send a different command; send none.
        AppLog::WriteToLog("cli: request of %i bytes refused (at most %zu): %.60s...\n", true, length,
                           kRequestSize - 1, buffer);
        request.clear();
        return false;
    }
    request.assign(buffer, std::size_t(length));
    return true;
}

bool SlimCLIConnection::Format(std::string& request, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool formatted = FormatV(request, format, args);
    va_end(args);
    return formatted;
}

std::string SlimCLIConnection::Request(const char* format, ...) {
    std::string request, reply;
    va_list args;
    va_start(args, format);
    const bool formatted = FormatV(request, format, args);
    va_end(args);
    if (formatted) (void)GetData(request, reply);
    return reply;
}

void SlimCLIConnection::RequestWithPlayer(const char* format, ...) {
    std::string command;
    va_list args;
    va_start(args, format);
    const bool formatted = FormatV(command, format, args);
    va_end(args);
    if (!formatted) return;
    // The server's reply to a command carries no result.
    (void)Request("%s %s", m_playerId.c_str(), command.c_str());
}

unsigned long SlimCLIConnection::GetTotal(const char* what, const char* filter) {
    if (filter && *filter) {
        AppLog::WriteToLog("%s 0 0 %s\n", false, what, filter);
        const std::string reply = Request("%s 0 0 %s\n", what, filter);
        const std::vector<std::string_view> pieces = CliText::SplitAt(reply, "count%3A");
        return pieces.size() >= 2 ? static_cast<unsigned long>(CascadeDecimal::ParseCount(pieces[1])) : 0;
    }
    const std::string reply = Request("info total %s ?\n", what);
    return static_cast<unsigned long>(CascadeDecimal::ParseCount(CliText::WordAt(reply, 3)));
}

CascadeString SlimCLIConnection::GetVersion() {
    const std::string reply = Request("version ?\n");
    return CascadeString(CliText::WordAt(reply, 1));
}

std::shared_ptr<const ETokenArray> SlimCLIConnection::GetIgnores(bool refresh) {
    {
        std::lock_guard lock(m_ignoresLock);
        if (m_ignores && !refresh) return m_ignores;
    }
    constexpr std::string_view kEcho = "pref ignoredarticles ";
    const std::string reply = Request("pref ignoredarticles ?\n");
    const std::string value = reply.size() > kEcho.size() ? reply.substr(kEcho.size()) : std::string();
    auto articles = std::make_shared<const ETokenArray>(value.c_str(), "%20", CascadeCase::Sensitive);
    std::lock_guard lock(m_ignoresLock);
    m_ignores = articles;
    return articles;
}

CascadeString SlimCLIConnection::GetBaseURL() const { return "http://" + m_serverAddress; }

CascadeString SlimCLIConnection::WebBase() const { return GetBaseURL() + ":" + m_webPort; }

void SlimCLIConnection::Power(bool on) { RequestWithPlayer("power %i\n", on ? 1 : 0); }

bool SlimCLIConnection::GetXMLData(const char* url, unsigned long start, unsigned long count,
                                   tinyxml2::XMLDocument& document) {
    std::string address;
    bool fits = true;
    if (count != 0)
        fits = Format(address, "%s&start=%lu&itemsPerPage=%lu", url, start, count);
    else if (start != 0)
        fits = Format(address, "%s&start=%lu", url, start);
    else
        fits = Format(address, "%s", url);
    if (!fits) return false;
    CascadeString page;
    {
        std::lock_guard lock(m_requestLock);
        EUtils::GetHTTPData(address.c_str(), page);
    }
    if (page.IsEmpty()) {
        AppLog::WriteToLog("cli: no page from %s\n", true, address.c_str());
        return false;
    }
    const std::string text = EUtils::XmlToUtf8(page.View());
    if (document.Parse(text.c_str(), text.size()) != tinyxml2::XML_SUCCESS) {
        AppLog::WriteToLog("cli: page from %s does not parse: %s\n", true, address.c_str(), document.ErrorStr());
        return false;
    }
    return true;
}

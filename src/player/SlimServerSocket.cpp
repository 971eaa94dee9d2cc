#include "player/SlimServerSocket.h"

#include "app/base/AppLog.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// The server counts the opcode in the frame length.
constexpr unsigned short kOpcodeBytes = 4;
constexpr unsigned short kShortestFrame = kOpcodeBytes + 1;
// How often Stop repeats its shutdown while the reader may be between
// checking the stop flag and starting a new open.
constexpr auto kStopNudge = std::chrono::milliseconds(50);
// How long a goodbye waits for the server to close its side.
constexpr auto kGoodbyeWait = std::chrono::milliseconds(500);

}  // namespace

SlimServer::SlimServerSocket::SlimServerSocket(const char* host, unsigned short port, SlimServer* owner)
    : m_host(host), m_port(port), m_owner(owner), m_socket(std::make_unique<CascadeClientSocket>()) {}

SlimServer::SlimServerSocket::~SlimServerSocket() { Stop(); }

bool SlimServer::SlimServerSocket::Connect() {
    if (m_connected.load()) return false;
    const bool opened =
        m_socket->Open(CascadeClientSocket::kTypeStream, m_host.c_str(), m_port, kOpenTimeoutMs);
    if (opened) {
        std::lock_guard lock(m_sendLock);
        m_connected = true;
    }
    {
        // Set before the thread starts so that a Stop right after Connect is
        // never overwritten by the thread.
        std::lock_guard lock(m_stopLock);
        m_running = true;
        m_finished = false;
    }
    m_started = Start("slimproto");
    if (!m_started) AppLog::WriteToLog("slimproto: reader thread for %s did not start\n", true, m_host.c_str());
    return opened;
}

void SlimServer::SlimServerSocket::Stop(bool afterGoodbye) {
    {
        std::lock_guard lock(m_stopLock);
        // Leaving first: a reader that sees the link no longer running must
        // already see that it reads on.
        m_leaving = afterGoodbye && !IsReaderThread();
        m_running = false;
    }
    m_stopSignal.notify_all();
    if (IsReaderThread()) {
        m_socket->Shutdown();
        return;
    }
    if (m_started) {
        std::unique_lock lock(m_stopLock);
        if (afterGoodbye && m_connected.load()) {
            // A close with frames still unread resets the link, and a server
            // may then lose the goodbye it had not read yet. So the reader
            // reads on, and ends when the server closes its side.
            m_socket->ShutdownSending();
            m_stopSignal.wait_for(lock, kGoodbyeWait, [this] { return m_finished; });
        }
        m_leaving = false;
        while (!m_finished) {
            lock.unlock();
            m_socket->Shutdown();
            lock.lock();
            m_stopSignal.wait_for(lock, kStopNudge, [this] { return m_finished; });
        }
    }
    WaitUntilFinished();
    m_started = false;
    std::lock_guard lock(m_sendLock);
    m_connected = false;
    m_socket->Close();
}

bool SlimServer::SlimServerSocket::SendFrame(const unsigned char* frame, std::size_t length, bool last) {
    std::lock_guard lock(m_sendLock);
    if (!m_connected.load() || m_goodbyeSaid) return false;
    const bool sent = m_socket->Send(frame, length, kSendTimeoutMs) == long(length);
    // Nothing goes out after the goodbye, and the link closes to other
    // senders under the lock the goodbye went out under. A frame behind it
    // would reach a server that is ending the link; and once Stop has shut
    // the sending side, a frame from another thread (a status, a DSCO)
    // would fail, mark the link broken, and the reader would close it with
    // the server's answers unread. That close resets the link, and a server
    // that writes before it reads loses the goodbye with it.
    if (sent && last) m_goodbyeSaid = true;
    return sent;
}

void SlimServer::SlimServerSocket::ThreadProc() {
    m_readerId = std::this_thread::get_id();
    while (m_running.load()) {
        if (!ConnectLoop()) break;
        m_owner->NotifyConnect();
        ReadLoop();
        CloseLink();
        m_owner->NotifyDisconnect();
    }
    MarkFinished();
}

void SlimServer::SlimServerSocket::MarkFinished() {
    m_readerId = std::thread::id{};
    {
        std::lock_guard lock(m_stopLock);
        m_finished = true;
    }
    m_stopSignal.notify_all();
}

bool SlimServer::SlimServerSocket::ConnectLoop() {
    while (!m_connected.load() && m_running.load()) {
        if (OpenOnce()) break;
        if (!SleepUnlessStopped(kRetryDelayMs)) return false;
    }
    if (m_running.load()) return m_connected.load();
    CloseLink();
    return false;
}

bool SlimServer::SlimServerSocket::OpenOnce() {
    if (m_socket->GetLastError() != 0) CloseLink();
    std::printf("connecting to: %s %i\n", m_host.c_str(), int(m_port));
    std::fflush(stdout);
    if (!m_running.load()) return false;
    if (!m_socket->Open(CascadeClientSocket::kTypeStream, m_host.c_str(), m_port, kOpenTimeoutMs)) return false;
    {
        std::lock_guard lock(m_sendLock);
        m_connected = true;
    }
    std::printf("connected to: %s %i\n", m_host.c_str(), int(m_port));
    std::fflush(stdout);
    return true;
}

bool SlimServer::SlimServerSocket::SleepUnlessStopped(unsigned long milliseconds) {
    std::unique_lock lock(m_stopLock);
    return !m_stopSignal.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [this] { return !m_running.load(); });
}

void SlimServer::SlimServerSocket::CloseLink() {
    std::lock_guard lock(m_sendLock);
    m_connected = false;
    m_socket->Close();
}

void SlimServer::SlimServerSocket::ReadLoop() {
    // One spare zero byte behind the largest frame keeps text payloads
    // terminated for the clients.
    std::array<unsigned char, kReceiveBufferBytes + 1> buffer{};
    while (m_running.load() || m_leaving.load()) {
        buffer.fill(0);
        if (!ReadFrame(buffer.data())) return;
    }
}

bool SlimServer::SlimServerSocket::ReadFrame(unsigned char* buffer) {
    unsigned char header[2] = {0, 0};
    const unsigned short got = BlockingRead(header, sizeof header);
    if (got == 0) {
        // A quiet server only means a receive time-out; a closed link reports
        // an error and must not turn into a loop of empty reads.
        if (m_socket->GetLastError() == 0) return true;
        if (m_running.load())
            AppLog::WriteToLog("slimproto: link to %s closed (error %d)\n", true, m_host.c_str(),
                               m_socket->GetLastError());
        return false;
    }
    if (got != sizeof header) {
        AppLog::WriteToLog("slimproto: frame header cut short after %u byte; dropping the link\n", true,
                           unsigned(got));
        return false;
    }
    const unsigned short length = static_cast<unsigned short>((header[0] << 8) | header[1]);
    if (length == 0) return true;
    if (length > kReceiveBufferBytes) return SkipFrame(buffer, length);

    const unsigned short count = BlockingRead(buffer, length);
    if (count == length && count < kShortestFrame) {
        AppLog::WriteToLog("slimproto: frame of %u bytes too short for an opcode and a payload; dropping the link\n", true,
                           unsigned(length));
        return false;
    }
    if (count != length) {
        AppLog::WriteToLog("slimproto: frame of %u bytes, %u received; dropping the link\n", true,
                           unsigned(length), unsigned(count));
        return false;
    }
    char opcode[kOpcodeBytes + 1] = {};
    std::memcpy(opcode, buffer, kOpcodeBytes);
    if (std::strncmp(opcode, "grf", 3) != 0) AppLog::WriteToLog("%s", false, opcode);
    m_owner->NotifyClientData(opcode, buffer + kOpcodeBytes, static_cast<unsigned short>(count - kOpcodeBytes));
    return true;
}

// A frame longer than the buffer is read in buffer-sized pieces and thrown
// away, so the stream stays in step and the link survives.
bool SlimServer::SlimServerSocket::SkipFrame(unsigned char* buffer, unsigned short length) {
    unsigned short left = length;
    bool first = true;
    while (left > 0) {
        const auto piece = static_cast<unsigned short>(left < kReceiveBufferBytes ? left : kReceiveBufferBytes);
        if (BlockingRead(buffer, piece) != piece) {
            AppLog::WriteToLog("slimproto: oversized frame of %u bytes cut short; dropping the link\n", true,
                               unsigned(length));
            return false;
        }
        if (first) {
            char opcode[kOpcodeBytes + 1] = {};
            std::memcpy(opcode, buffer, kOpcodeBytes);
            AppLog::WriteToLog("slimproto: skipping frame \"%s\" of %u bytes (buffer holds %u)\n", true, opcode,
                               unsigned(length), unsigned(kReceiveBufferBytes));
            first = false;
        }
        left = static_cast<unsigned short>(left - piece);
    }
    return true;
}

unsigned short SlimServer::SlimServerSocket::BlockingRead(unsigned char* buffer, unsigned short count) {
    unsigned short got = 0;
    while (got < count) {
        const long n = m_socket->Receive(buffer + got, std::size_t(count - got), kReceiveTimeoutMs);
        if (n <= 0 || m_socket->GetLastError() != 0) break;
        got = static_cast<unsigned short>(got + n);
    }
    return got;
}

#include "server/SlimCLIListener.h"

#include "app/base/AppLog.h"
#include "platform/CascadeDecimal.h"
#include "server/CliLineBuffer.h"
#include "server/CliText.h"
#include "server/EUtils.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

namespace {

constexpr unsigned long kFirstBackoffMs = 500;
constexpr unsigned long kLastBackoffMs = 8000;

}  // namespace

SlimCLIListener::SlimCLIListener(SlimConnection& connection) : m_connection(connection) {}

SlimCLIListener::~SlimCLIListener() { Disconnect(); }

void SlimCLIListener::SetPlayerId(const CascadeString& playerId) {
    m_playerId = playerId;
    EUtils::ReplaceString(playerId.c_str(), ":", "%3A", m_escapedPlayerId);
}

bool SlimCLIListener::Connect(const char* host, unsigned short port) {
    if (m_started) return false;
    m_host = host ? host : "";
    m_port = port;
    m_reconnect = true;
    bool opened;
    {
        std::lock_guard lock(m_socketLock);
        opened = OpenAndListen();
    }
    {
        std::lock_guard lock(m_stopLock);
        m_stop = false;
    }
    m_started = Start("cli-listen");
    return opened && m_started;
}

bool SlimCLIListener::Attach(int fd) {
    if (m_started) return false;
    m_reconnect = false;
    {
        std::lock_guard lock(m_socketLock);
        if (!m_socket.Attach(fd) || !SendLocked("listen 1\n")) return false;
        m_listening = true;
    }
    {
        std::lock_guard lock(m_stopLock);
        m_stop = false;
    }
    m_started = Start("cli-listen");
    return m_started;
}

bool SlimCLIListener::SendLocked(const char* text) {
    const std::size_t length = std::strlen(text);
    return m_socket.Send(text, length, kTimeoutMs) == long(length);
}

// With m_socketLock held.
bool SlimCLIListener::OpenAndListen() {
    m_socket.Close();
    if (m_host.IsEmpty()) return false;
    if (!m_socket.Open(CascadeClientSocket::kTypeStream, m_host.c_str(), m_port, kTimeoutMs)) return false;
    if (!SendLocked("listen 1\n")) {
        m_socket.Close();
        return false;
    }
    m_listening = true;
    return true;
}

void SlimCLIListener::Disconnect() {
    if (!m_started) return;
    {
        std::lock_guard lock(m_stopLock);
        m_stop = true;
    }
    m_stopChanged.notify_all();
    {
        std::lock_guard lock(m_socketLock);
        if (m_listening) {
            (void)SendLocked("listen 0\n");
            (void)SendLocked("exit\n");
        }
        // Wakes a receive or connect under way on the listener thread.
        m_socket.Shutdown();
    }
    WaitUntilFinished();
    m_socket.Close();
    m_listening = false;
    m_started = false;
}

void SlimCLIListener::ThreadProc() {
    m_threadId = std::this_thread::get_id();
    unsigned long backoffMs = 0;
    while (true) {
        {
            std::lock_guard lock(m_stopLock);
            if (m_stop) break;
        }
        if (m_listening) {
            backoffMs = 0;
            ReadUntilLost();
            continue;
        }
        if (!m_reconnect) break;
        WaitBeforeRetry(backoffMs);
        {
            std::lock_guard stop(m_stopLock);
            if (m_stop) break;
        }
        std::lock_guard lock(m_socketLock);
        if (OpenAndListen()) AppLog::WriteToLog("cli: listener connected again to %s:%u\n", true, m_host.c_str(), m_port);
    }
    m_threadId = std::thread::id();
}

void SlimCLIListener::WaitBeforeRetry(unsigned long& backoffMs) {
    backoffMs = backoffMs == 0 ? kFirstBackoffMs : std::min(backoffMs * 2, kLastBackoffMs);
    std::unique_lock lock(m_stopLock);
    m_stopChanged.wait_for(lock, std::chrono::milliseconds(backoffMs), [this] { return m_stop || m_retryNow; });
    if (m_retryNow) backoffMs = 0;
    m_retryNow = false;
}

void SlimCLIListener::RetryNow() {
    {
        std::lock_guard lock(m_stopLock);
        m_retryNow = true;
    }
    m_stopChanged.notify_all();
}

void SlimCLIListener::ReadUntilLost() {
    std::array<char, kBufferSize> buffer;
    CliLineBuffer lines;
    std::string line;
    while (true) {
        const long got = m_socket.Receive(buffer.data(), buffer.size(), kTimeoutMs);
        if (got > 0) {
            lines.Append(buffer.data(), std::size_t(got));
            while (lines.NextLine(line)) HandleLine(line);
            continue;
        }
        if (m_socket.GetLastError() != 0) break;
        std::lock_guard lock(m_stopLock);
        if (m_stop) break;
    }
    std::lock_guard stop(m_stopLock);
    if (!m_stop)
        AppLog::WriteToLog("cli: listener link to %s:%u lost (error %i); reconnecting with back-off\n", true,
                           m_host.c_str(), m_port, m_socket.GetLastError());
    m_listening = false;
}

template <typename Call>
void SlimCLIListener::ForEachClient(Call call) {
    std::vector<Client*> clients;
    {
        std::lock_guard lock(m_clientsLock);
        clients = m_clients;
        ++m_passes;
    }
    for (Client* client : clients) {
        {
            // Skip a client that was unregistered from an earlier callback.
            std::lock_guard lock(m_clientsLock);
            if (std::find(m_clients.begin(), m_clients.end(), client) == m_clients.end()) continue;
        }
        call(*client);
    }
    {
        std::lock_guard lock(m_clientsLock);
        --m_passes;
    }
    m_passDone.notify_all();
}

void SlimCLIListener::RegisterClient(Client* client) {
    if (!client) return;
    std::lock_guard lock(m_clientsLock);
    if (std::find(m_clients.begin(), m_clients.end(), client) == m_clients.end()) m_clients.push_back(client);
}

void SlimCLIListener::UnregisterClient(Client* client, UnregisterMode mode) {
    std::unique_lock lock(m_clientsLock);
    std::erase(m_clients, client);
    if (mode == UnregisterMode::kStopLaterOnes) return;
    // A pass under way may hold this client: wait for it, unless this is the
    // listener thread itself (a client leaving from its own callback).
    if (m_threadId.load() == std::this_thread::get_id()) return;
    m_passDone.wait(lock, [this] { return m_passes == 0; });
}

void SlimCLIListener::NotifySongChange() {
    SlimConnection::PlayerStatus status;
    m_connection.GetPlayerStatus(status, 0);
    ForEachClient([&](Client& client) { client.OnSongChanged(status.currentSong); });
}

uint8_t SlimCLIListener::ModeValue(std::string_view value, uint8_t SlimConnection::PlayerStatus::*mode) {
    // A toggle made elsewhere is notified without the mode it gave.
    if (!value.empty() && value.front() >= '0' && value.front() <= '9')
        return static_cast<uint8_t>(CascadeDecimal::ParseCount(value));
    SlimConnection::PlayerStatus status;
    m_connection.GetPlayerStatus(status, 0);
    return status.*mode;
}

void SlimCLIListener::HandleLine(std::string_view line) {
    AppLog::WriteToLog("CLI Message: %.*s\n", true, int(line.size()), line.data());
    std::string_view words[4];
    std::size_t count = 0;
    CliText::ForEachWord(line, [&](std::string_view word) {
        if (count < 4) words[count] = word;
        ++count;
    });
    if (count < 2) return;
    if (!m_escapedPlayerId.IsEmpty() && m_escapedPlayerId.Compare(words[0], CascadeCase::Insensitive) != 0) return;
    const std::string_view command = words[1];
    if (command == "newsong") {
        AppLog::WriteToLog("CLI listener command: newsong\n", false);
        NotifySongChange();
    } else if (command == "playlist" || command == "playlistcontrol") {
        HandlePlaylistLine(words[2], words[3], command);
    } else {
        AppLog::WriteToLog("Discarded CLI listener command: %.*s\n", false, int(command.size()), command.data());
    }
}

void SlimCLIListener::HandlePlaylistLine(std::string_view subCommand, std::string_view value,
                                         std::string_view command) {
    if (subCommand == "newsong") {
        AppLog::WriteToLog("CLI listener command: newsong\n", false);
        NotifySongChange();
    } else if (subCommand == "shuffle") {
        AppLog::WriteToLog("CLI listener command: shuffle\n", false);
        const uint8_t mode = ModeValue(value, &SlimConnection::PlayerStatus::shuffle);
        ForEachClient([&](Client& client) { client.OnShuffleChanged(mode); });
    } else if (subCommand == "repeat") {
        AppLog::WriteToLog("CLI listener command: repeat\n", false);
        const uint8_t mode = ModeValue(value, &SlimConnection::PlayerStatus::repeat);
        ForEachClient([&](Client& client) { client.OnRepeatChanged(mode); });
    } else {
        AppLog::WriteToLog("Discarded CLI listener command: %.*s\n", true, int(command.size()), command.data());
        const std::string change(subCommand);
        ForEachClient([&](Client& client) { client.OnPlaylistChanged(change.c_str()); });
    }
}

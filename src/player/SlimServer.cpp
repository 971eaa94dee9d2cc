#include "player/SlimServer.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeFileDescriptor.h"
#include "platform/CascadeTime.h"
#include "player/EUtilsNetwork.h"
#include "player/SlimServerSocket.h"
#include "server/EUtils.h"
#include "server/SlimCLIConnection.h"
#include "server/SlimCLIListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kOpcodeBytes = 4;
constexpr std::size_t kLengthBytes = 4;
constexpr unsigned char kDeviceId = 3;  // the server treats us as a SoftSqueeze
constexpr unsigned char kRevision = 0;
constexpr unsigned char kHelloDisplayFlag = 0x80;
constexpr unsigned char kHelloPlayingFlag = 0x40;

void PutBigEndian32(unsigned char* out, uint32_t value) {
    out[0] = static_cast<unsigned char>(value >> 24);
    out[1] = static_cast<unsigned char>(value >> 16);
    out[2] = static_cast<unsigned char>(value >> 8);
    out[3] = static_cast<unsigned char>(value);
}

// Discovery: an 18-byte "d" request, answered by a datagram starting "D"
// from every server that hears it.
constexpr std::size_t kDiscoveryRequestBytes = 18;
constexpr std::size_t kDiscoveryReplyBytes = 512;
constexpr unsigned char kDiscoveryRequest = 0x64;
constexpr unsigned char kDiscoveryReply = 0x44;
constexpr int kDiscoveryWaitMs = 2000;
constexpr const char* kBroadcastAddress = "255.255.255.255";

// A datagram socket on local `port` (when free) that may broadcast.
int OpenDiscoverySocket(unsigned short port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    // A server on this machine may hold the port; the request then goes out
    // from any port and the answer still finds us.
    (void)bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    return fd;
}

bool SendDiscoveryRequest(int fd, const sockaddr_in& target) {
    std::array<unsigned char, kDiscoveryRequestBytes> request{};
    request[0] = kDiscoveryRequest;
    request[2] = 2;
    request[3] = 0x17;
    if (!EUtils::GetMACAddress(request.data() + 12))
        AppLog::WriteToLog("slimproto: discovery without a hardware address; sending zeros\n", true);
    const ssize_t sent = sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                                sizeof target);
    return sent == ssize_t(request.size());
}

// The dotted address of the first sender of a "D" datagram within the wait,
// or "" after the wait or on a read error.
CascadeString AwaitDiscoveryReply(int fd) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kDiscoveryWaitMs);
    std::array<unsigned char, kDiscoveryReplyBytes> reply{};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return {};
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return {};
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        const ssize_t n = recvfrom(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&sender),
                                   &senderLength);
        if (n <= 0) return {};
        if (reply[0] != kDiscoveryReply) continue;
        char dotted[INET_ADDRSTRLEN] = {};
        if (!inet_ntop(AF_INET, &sender.sin_addr, dotted, sizeof dotted)) return {};
        return CascadeString(dotted);
    }
}

}  // namespace

CascadeString SlimServer::FindSlimServer() { return FindSlimServer(kBroadcastAddress, kDefaultPort); }

CascadeString SlimServer::FindSlimServer(const char* broadcastAddress, unsigned short port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    if (!broadcastAddress || inet_pton(AF_INET, broadcastAddress, &target.sin_addr) != 1) {
        AppLog::WriteToLog("slimproto: discovery address \"%s\" is not a dotted IPv4 address\n", true,
                           broadcastAddress ? broadcastAddress : "");
        return {};
    }
    CascadeFileDescriptor fd(OpenDiscoverySocket(port));
    if (fd.Get() < 0) {
        AppLog::WriteToLog("slimproto: no socket for discovery (%s)\n", true, std::strerror(errno));
        return {};
    }
    if (!SendDiscoveryRequest(fd.Get(), target)) {
        AppLog::WriteToLog("slimproto: discovery request to %s port %u failed (%s)\n", true, broadcastAddress,
                           unsigned(port), std::strerror(errno));
        return {};
    }
    return AwaitDiscoveryReply(fd.Get());
}

SlimServer::SlimServer() : m_startTime(CascadeTime::GetUptimeMilliseconds()) {}

SlimServer::~SlimServer() { Disconnect(); }

bool SlimServer::Connect(const char* host) {
    const auto port = static_cast<unsigned short>(EUtils::ParseDecimal(g_portProto.View()));
    return Connect(host, port);
}

bool SlimServer::Connect(const char* host, unsigned short port) {
    Disconnect();
    const CascadeString hostText(host);
    if (hostText.IsEmpty()) {
        AppLog::WriteToLog("slimproto: no server address to connect to\n", true);
        return false;
    }
    std::array<unsigned char, kMacBytes> mac{};
    if (!EUtils::GetMACAddress(mac.data()))
        AppLog::WriteToLog("slimproto: no network interface with a hardware address; the player id is all zeros\n",
                           true);
    CascadeString playerId;
    playerId.Format("%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    {
        std::lock_guard lock(m_sharedLock);
        m_shared.serverAddress = hostText;
        m_shared.port = port;
        m_shared.mac = mac;
        m_shared.playerId = playerId;
    }
    AppLog::WriteToLog("SlimServer IP: %s\n", true, hostText.c_str());
    AppLog::WriteToLog("MAC Address: %s\n", true, playerId.c_str());

    auto socket = std::make_unique<SlimServerSocket>(hostText.c_str(), port, this);
    SlimServerSocket* link = socket.get();
    {
        std::lock_guard lock(m_linkLock);
        m_socket = std::move(socket);
    }
    // Connect may start callbacks on the reader thread, which send through
    // m_socket: the pointer is in place before.
    return link->Connect();
}

bool SlimServer::Disconnect() {
    StopSocket();
    // The CLI objects live as long as this one: close them outside the lock,
    // so a listener callback that asks for the connection cannot block the
    // listener's stop.
    SlimCLIListener* listener = nullptr;
    SlimCLIConnection* connection = nullptr;
    {
        std::lock_guard lock(m_cliLock);
        listener = m_cliListener.get();
        connection = m_cliConnection.get();
        m_cliClosed = connection != nullptr;
    }
    if (listener) listener->Disconnect();
    if (connection) connection->Disconnect();
    return true;
}

SlimCLIConnection* SlimServer::GetSlimCLIConnection() {
    std::lock_guard lock(m_cliLock);
    if (m_cliConnection && !m_cliClosed) return m_cliConnection.get();
    if (!m_cliConnection) m_cliConnection = std::make_unique<SlimCLIConnection>();
    m_cliClosed = false;
    m_cliConnection->SetPlayerId(GetPlayerId());
    const CascadeString host = [this] {
        std::lock_guard shared(m_sharedLock);
        return m_shared.serverAddress;
    }();
    const auto port = static_cast<unsigned short>(EUtils::ParseDecimal(g_portCLI.View()));
    // A failed first attempt is logged; the connection tries again on use.
    (void)m_cliConnection->Connect(host.c_str(), port);
    return m_cliConnection.get();
}

SlimCLIListener* SlimServer::GetSlimCLIListener() {
    SlimCLIConnection* connection = GetSlimCLIConnection();
    std::lock_guard lock(m_cliLock);
    if (!m_cliListener) m_cliListener = std::make_unique<SlimCLIListener>(*connection);
    if (!m_cliListener->IsStarted()) {
        m_cliListener->SetPlayerId(GetPlayerId());
        const CascadeString host = [this] {
            std::lock_guard shared(m_sharedLock);
            return m_shared.serverAddress;
        }();
        const auto port = static_cast<unsigned short>(EUtils::ParseDecimal(g_portCLI.View()));
        (void)m_cliListener->Connect(host.c_str(), port);
    }
    return m_cliListener.get();
}

void SlimServer::StopSocket(bool afterGoodbye) {
    std::unique_ptr<SlimServerSocket> socket;
    {
        std::lock_guard lock(m_linkLock);
        if (!m_socket) return;
        if (m_socket->IsReaderThread()) {
            // The reader cannot wait for itself: ask it to stop and free it on
            // the next Disconnect from the controlling thread.
            AppLog::WriteToLog("slimproto: link stop asked on the reader thread; it ends after this command\n",
                               true);
            m_socket->Stop();
            return;
        }
        socket = std::move(m_socket);
    }
    socket->Stop(afterGoodbye);
}

void SlimServer::RegisterClient(Client* client) {
    if (!client) return;
    std::lock_guard lock(m_sharedLock);
    m_shared.clients.Append(client);
}

void SlimServer::UnregisterClient(Client* client) {
    std::lock_guard lock(m_sharedLock);
    m_shared.clients.Remove(client);
}

CascadeTemplateArray<SlimServer::Client*> SlimServer::CopyClients() const {
    std::lock_guard lock(m_sharedLock);
    return m_shared.clients;
}

void SlimServer::NotifyClientData(const char* opcode, unsigned char* data, unsigned short length) {
    if (strncasecmp(opcode, "vers", kOpcodeBytes) == 0) {
        // The payload is text; the reader keeps a zero byte behind it, and the
        // length bounds it anyway.
        const std::size_t textLength = strnlen(reinterpret_cast<const char*>(data), length);
        std::lock_guard lock(m_sharedLock);
        m_shared.serverVersion = std::string_view(reinterpret_cast<const char*>(data), textLength);
    }
    for (Client* client : CopyClients()) client->OnSlimServerCommand(opcode, data, length);
}

void SlimServer::NotifyConnect() const {
    // The server is back: its CLI links need not wait out their back-off.
    SlimCLIConnection* connection = nullptr;
    SlimCLIListener* listener = nullptr;
    {
        std::lock_guard lock(m_cliLock);
        connection = m_cliConnection.get();
        listener = m_cliListener.get();
    }
    // Both live as long as this object.
    if (connection) connection->RetryNow();
    if (listener) listener->RetryNow();
    for (Client* client : CopyClients()) client->OnSlimServerConnected();
}

void SlimServer::NotifyDisconnect() {
    for (Client* client : CopyClients()) client->OnSlimServerDisconnected();
}

bool SlimServer::SendData(const char* opcode, const unsigned char* data, unsigned long length, bool last) {
    std::vector<unsigned char> frame(kOpcodeBytes + kLengthBytes + length);
    std::memcpy(frame.data(), opcode, kOpcodeBytes);
    PutBigEndian32(frame.data() + kOpcodeBytes, static_cast<uint32_t>(length));
    if (length > 0) std::memcpy(frame.data() + kOpcodeBytes + kLengthBytes, data, length);
    std::lock_guard lock(m_linkLock);
    return m_socket && m_socket->SendFrame(frame.data(), frame.size(), last);
}

bool SlimServer::SendHello(bool playing) {
    std::array<unsigned char, 10> payload{};
    payload[0] = kDeviceId;
    payload[1] = kRevision;
    {
        std::lock_guard lock(m_sharedLock);
        std::memcpy(payload.data() + 2, m_shared.mac.data(), kMacBytes);
    }
    payload[8] = playing ? (kHelloDisplayFlag | kHelloPlayingFlag) : kHelloDisplayFlag;
    payload[9] = 0;
    AppLog::WriteToLog("sending hello\n", false);
    const bool sent = SendData("HELO", payload.data(), payload.size());
    // Once a HELO went out, every later message is allowed on every later
    // link; a failed HELO never withdraws that.
    if (sent) m_helloSent = true;
    return sent;
}

bool SlimServer::SendBye() {
    if (!m_helloSent.load()) return false;
    AppLog::WriteToLog("saying bye\n", false);
    if (!SendData("BYE!", nullptr, 0, true)) return false;
    StopSocket(true);
    return true;
}

bool SlimServer::SendIR(unsigned long code) {
    if (!m_helloSent.load()) return false;
    std::array<unsigned char, 10> payload{};
    PutBigEndian32(payload.data(), static_cast<uint32_t>(GetRunningMilliseconds()));
    payload[4] = 1;
    payload[5] = 1;
    PutBigEndian32(payload.data() + 6, static_cast<uint32_t>(code));
    AppLog::WriteToLog("sending IR\n", false);
    return SendData("IR  ", payload.data(), payload.size());
}

bool SlimServer::SendDSCO(unsigned char reason) {
    if (!m_helloSent.load()) return false;
    AppLog::WriteToLog("sending DSCO: %i\n", true, int(reason));
    return SendData("DSCO", &reason, 1);
}

bool SlimServer::SendANIC() {
    if (!m_helloSent.load()) return false;
    AppLog::WriteToLog("sending anic\n", false);
    return SendData("ANIC", nullptr, 0);
}

bool SlimServer::SendStatus(const StatusPacket& packet) {
    if (!m_helloSent.load()) return false;
    const auto wire = SerializeStatusPacket(packet);
    return SendData("STAT", wire.data(), wire.size());
}

unsigned long SlimServer::GetRunningMilliseconds() const {
    return static_cast<uint32_t>(CascadeTime::GetUptimeMilliseconds() - m_startTime);
}

CascadeString SlimServer::GetServerVersion() const {
    std::lock_guard lock(m_sharedLock);
    return m_shared.serverVersion;
}

CascadeString SlimServer::GetPlayerId() const {
    std::lock_guard lock(m_sharedLock);
    return m_shared.playerId;
}

bool SlimServer::IsConnected() const {
    std::lock_guard lock(m_linkLock);
    return m_socket && m_socket->IsConnected();
}

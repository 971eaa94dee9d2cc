#include "player/SlimServer.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "platform/CascadeTime.h"
#include "player/EUtilsNetwork.h"
#include "player/SlimServerSocket.h"
#include "server/EUtils.h"

#include <strings.h>

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

}  // namespace

SlimServer::SlimServer() : m_startTime(CascadeTime::GetUptimeMilliseconds()) {}

SlimServer::~SlimServer() { Disconnect(); }

bool SlimServer::Connect(const char* host) {
    const auto port = static_cast<unsigned short>(EUtils::ParseDecimal(g_portProto.View()));
    return Connect(host, port);
}

bool SlimServer::Connect(const char* host, unsigned short port) {
    Disconnect();
    const CascadeString hostText(host);
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
    return true;
}

void SlimServer::StopSocket() {
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
    socket->Stop();
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
    for (Client* client : CopyClients()) client->OnSlimServerConnected();
}

void SlimServer::NotifyDisconnect() {
    for (Client* client : CopyClients()) client->OnSlimServerDisconnected();
}

bool SlimServer::SendData(const char* opcode, const unsigned char* data, unsigned long length) {
    std::vector<unsigned char> frame(kOpcodeBytes + kLengthBytes + length);
    std::memcpy(frame.data(), opcode, kOpcodeBytes);
    PutBigEndian32(frame.data() + kOpcodeBytes, static_cast<uint32_t>(length));
    if (length > 0) std::memcpy(frame.data() + kOpcodeBytes + kLengthBytes, data, length);
    std::lock_guard lock(m_linkLock);
    return m_socket && m_socket->SendFrame(frame.data(), frame.size());
}

bool SlimServer::SendAfterHello(const char* opcode, const unsigned char* data, unsigned long length) {
    if (!m_helloSent.load()) return false;
    return SendData(opcode, data, length);
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
    if (!SendData("BYE!", nullptr, 0)) return false;
    StopSocket();
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
    const auto wire = SerializeStatusPacket(packet);
    return SendAfterHello("STAT", wire.data(), wire.size());
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

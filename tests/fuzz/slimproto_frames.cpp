// The SlimProto link from the server's side: the input is the byte stream a
// server sends after the player connects (2-byte length counting the opcode,
// opcode, payload, and so on). The player's link reads it over a loopback
// TCP connection; the strm, grfe and audg payloads it hands over go through
// the player's payload readers.
#include "FuzzInput.h"
#include "platform/CascadeBitmap.h"
#include "player/PlayerDisplay.h"
#include "player/SlimServer.h"
#include "player/StreamCommand.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <semaphore>

namespace {

class PayloadReader : public SlimServer::Client {
public:
    void OnSlimServerCommand(const char* opcode, unsigned char* data, unsigned long length) override {
        if (std::strncmp(opcode, "strm", 4) == 0) {
            (void)StreamCommand::Parse(data, length);
        } else if (std::strncmp(opcode, "audg", 4) == 0) {
            (void)PlayerDisplay::VolumeFromAudg(data, length);
        } else if (std::strncmp(opcode, "grfe", 4) == 0 && length >= 4) {
            // The player draws what follows the 4-byte header.
            static const PlayerDisplay::Colors kColors{CascadeColor(0xFFFFFFFFu), CascadeColor(0x000000FFu),
                                                       CascadeColor(0x303030FFu)};
            PlayerDisplay::CreateBitmapFromBuffer(m_display, data + 4, length - 4, kColors);
            (void)PlayerDisplay::DrawsNow(char(data[2]), 1000, 900, false);
        }
    }
    void OnSlimServerConnected() override {}
    void OnSlimServerDisconnected() override { m_closed.release(); }
    bool WaitForClose() { return m_closed.try_acquire_for(std::chrono::seconds(20)); }

private:
    CascadeBitmap m_display;
    std::counting_semaphore<> m_closed{0};  // released once a link is lost
};

// A listening socket on 127.0.0.1 for the whole run; its port.
int s_listenFd = -1;
unsigned short s_port = 0;

bool Listen() {
    s_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s_listenFd < 0 || ::bind(s_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s_listenFd, 4) != 0 ||
        ::getsockname(s_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    s_port = ntohs(address.sin_port);
    return true;
}

// The link reconnects by itself as soon as it is lost, so links of an
// earlier input may wait in the backlog: they are closed unread.
void DropWaitingLinks() {
    while (true) {
        const int stale = ::accept4(s_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (stale < 0) return;
        ::close(stale);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInput::Silence();
    if (!Listen()) std::fprintf(stderr, "slimproto fuzz: cannot listen on 127.0.0.1\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (s_listenFd < 0) return 0;
    PayloadReader reader;
    SlimServer server;
    server.RegisterClient(&reader);
    DropWaitingLinks();
    if (!server.Connect("127.0.0.1", s_port)) return 0;
    pollfd waiting{s_listenFd, POLLIN, 0};
    const int link = ::poll(&waiting, 1, 5000) == 1 ? ::accept4(s_listenFd, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    if (link >= 0) {
        FuzzInput::SendAndShut(link, data, size);
        if (!reader.WaitForClose()) {
            std::fprintf(stderr, "slimproto fuzz: the player kept a closed link for 20 s\n");
            std::abort();
        }
    }
    (void)server.Disconnect();
    server.UnregisterClient(&reader);
    if (link >= 0) ::close(link);
    return 0;
}

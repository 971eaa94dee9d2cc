#include "platform/CascadeInput.h"

#include "platform/CascadeApp.h"
#include "platform/CascadeFileDescriptor.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>


std::string CascadeInput::GetSocketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/quendrel/ecp.sock";
    return "/tmp/quendrel-" + std::to_string(getuid()) + "/ecp.sock";
}

bool CascadeInput::DispatchECPCommand(const CascadeString& command, CascadeString& reply, unsigned long timeoutMs) {
    const std::string path = GetSocketPath();
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    CascadeFileDescriptor fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0 || connect(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;

    std::string line = command.Std();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line += '\n';
    if (send(fd.Get(), line.data(), line.size(), MSG_NOSIGNAL) != ssize_t(line.size())) return false;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string received;
    char buffer[1024];
    while (received.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd.Get(), POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) return false;
        const ssize_t n = recv(fd.Get(), buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        received.append(buffer, std::size_t(n));
    }
    reply = CascadeString(received.substr(0, received.find('\n')));
    return true;
}

void CascadeInput::NotifyScreenActivity() {
    if (CascadeApp* app = CascadeApp::s_pTheApp) app->NotifyScreenActivity();
}

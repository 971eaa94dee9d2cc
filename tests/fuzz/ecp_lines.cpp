// ECP lines: the input is what another program writes to the application's
// command socket. The socket server cuts it into lines and the application
// answers each one as it does on its UI thread. "screenshot" lines are
// answered without writing the file they name.
#include "FuzzInput.h"
#include "platform/CascadeApp.h"
#include "platform/CascadeEcpServer.h"

#include <strings.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::unique_ptr<CascadeApp> s_app;
std::unique_ptr<CascadeEcpServer> s_server;
std::string s_path;

// The first word is cut exactly as the application cuts it (a stream read
// skips every kind of blank), so no spelling of "screenshot" gets through
// to write a file the input names.
std::string Answer(const std::string& line) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (strcasecmp(word.c_str(), "screenshot") == 0) return "refused";
    return s_app->HandleECPLine(line);
}

int ConnectToServer() {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, s_path.c_str(), sizeof address.sun_path - 1);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInput::Silence();
    // Whatever file a command might still write lands in the scratch directory.
    if (FuzzInput::ScratchDir().empty() || ::chdir(FuzzInput::ScratchDir().c_str()) != 0) return 0;
    s_app = std::make_unique<CascadeApp>();
    s_app->RegisterECPCommand("Quendrel");
    s_path = FuzzInput::ScratchDir() + "/ecp/socket";
    s_server = std::make_unique<CascadeEcpServer>();
    if (s_server->Start(s_path, Answer) != CascadeEcpServer::StartResult::kStarted) {
        std::fprintf(stderr, "ecp fuzz: cannot serve %s\n", s_path.c_str());
        s_server.reset();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (!s_server) return 0;
    const int fd = ConnectToServer();
    if (fd < 0) return 0;
    // The replies are read while sending, so neither side's buffer fills.
    std::thread reader([fd] {
        char buffer[4096];
        while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
    });
    FuzzInput::SendAndShut(fd, data, size);
    reader.join();
    ::close(fd);
    return 0;
}

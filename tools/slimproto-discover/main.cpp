// slimproto-discover [address [port]]: runs one SlimProto discovery and
// prints the answering server's address, or an empty line when none answered
// within 2 s. Without arguments it broadcasts on 255.255.255.255 port 3483,
// so run it only where that broadcast is meant to go (the discovery test runs
// it inside its own network namespace).
#include "player/SlimServer.h"
#include "server/EUtils.h"

#include <cstdio>

int main(int argc, char** argv) {
    CascadeString found;
    if (argc > 1) {
        const auto port = argc > 2 ? static_cast<unsigned short>(EUtils::ParseDecimal(argv[2])) : SlimServer::kDefaultPort;
        found = SlimServer::FindSlimServer(argv[1], port);
    } else {
        found = SlimServer::FindSlimServer();
    }
    std::printf("%s\n", found.c_str());
    return 0;
}

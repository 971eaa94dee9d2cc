// quendrel-ecp "<command>": sends one ECP command to the running Quendrel and
// prints its reply. Exit code 0 with a reply, 1 when nothing answered, 2 on
// wrong usage.
#include "platform/CascadeInput.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quendrel-ecp \"<command>\"   e.g. quendrel-ecp \"Quendrel ping\"\n");
        return 2;
    }
    std::string command = argv[1];
    for (int i = 2; i < argc; ++i) command += std::string(" ") + argv[i];
    CascadeString reply;
    if (!CascadeInput::DispatchECPCommand(command, reply, 15000)) {
        std::fprintf(stderr, "quendrel-ecp: no reply from %s\n", CascadeInput::GetSocketPath().c_str());
        return 1;
    }
    std::printf("%s\n", reply.c_str());
    return 0;
}

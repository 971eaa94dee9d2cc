// quendrel-ecp "<command>": sends one ECP command to the running Quendrel and
// prints its reply. Exit code 0 with a reply, 1 when nothing answered, 2 on
// wrong usage.
#include "platform/CascadeInput.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr unsigned long kReplyTimeoutMs = 15000;

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: quendrel-ecp \"<command>\"\n"
                 "Sends one command to the running Quendrel and prints its reply.\n"
                 "\n"
                 "Commands:\n"
                 "  Quendrel ping                      \"pong\" while Quendrel runs\n"
                 "  Quendrel play | pause | next | previous | stop\n"
                 "  Quendrel hide | unhide | quit\n"
                 "  Quendrel currenttitle | currentartist | currentalbum | currentyear\n"
                 "  Quendrel playbackposition          seconds played of the current song\n"
                 "  keypress <key>                     a remote key by name (Select, Volume Up, ...) or code\n"
                 "  screenshot <file.png>              the screen as PNG\n"
                 "\n"
                 "Exit status: 0 when Quendrel answered (the reply, possibly empty, on standard\n"
                 "output), 1 when none is running or it did not answer within %lu s, 2 without a\n"
                 "command.\n",
                 kReplyTimeoutMs / 1000);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    std::string command = argv[1];
    for (int i = 2; i < argc; ++i) command += std::string(" ") + argv[i];
    CascadeString reply;
    if (!CascadeInput::DispatchECPCommand(command, reply, kReplyTimeoutMs)) {
        std::fprintf(stderr, "quendrel-ecp: no reply from %s\n", CascadeInput::GetSocketPath().c_str());
        return 1;
    }
    std::printf("%s\n", reply.c_str());
    return 0;
}

#pragma once

#include <cstdio>
#include <optional>

// What the command line asks before the application starts: "--help",
// "--version" and "--list-audio-devices" are answered here and end the
// program; an unknown "--" option ends it with a message naming it; an
// unknown "-" option is named in a warning and, like any argument that
// matches no option, taken as the server address. "-AudioDevice=" is put
// where the PCM output looks for it.
//
// Runs on the main thread before the application object exists.
class AppCommandLine {
public:
    static constexpr int kUsageError = 2;

    // The exit code when the program should end now, nullopt to start.
    static std::optional<int> Handle(int argc, const char* const* argv, FILE* out, FILE* err);
    static void PrintHelp(FILE* out);
    static void PrintVersion(FILE* out);
};

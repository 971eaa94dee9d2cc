#include "app/AppCommandLine.h"

#include "app/AppOptions.h"
#include "platform/CascadeAudioDevices.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#ifndef QUENDREL_VERSION
#define QUENDREL_VERSION "unknown"
#endif

namespace {

enum class Request { None, Help, Version, ListAudioDevices };

bool Is(std::string_view argument, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (CascadeString(argument).Compare(name, CascadeCase::Insensitive) == 0) return true;
    return false;
}

Request RequestOf(std::string_view argument) {
    if (Is(argument, {"--help", "-help", "-h", "-?"})) return Request::Help;
    if (Is(argument, {"--version", "-version"})) return Request::Version;
    if (Is(argument, {"--list-audio-devices"})) return Request::ListAudioDevices;
    return Request::None;
}

int ListAudioDevices(FILE* out, FILE* err) {
    std::vector<std::string> names;
    std::string driver, error;
    if (!CascadeAudioDevices::List(names, driver, error)) {
        std::fprintf(err, "quendrel: no audio (%s)\n", error.c_str());
        return 1;
    }
    std::fprintf(out, "Audio outputs (driver %s):\n", driver.c_str());
    for (const std::string& name : names) std::fprintf(out, "  %s\n", name.c_str());
    if (names.empty()) std::fprintf(out, "  (none listed; the default output is used)\n");
    std::fprintf(out, "Choose one with QUENDREL_AUDIO_DEVICE=\"<name>\" or -AudioDevice=\"<name>\".\n");
    return 0;
}

}  // namespace

std::optional<int> AppCommandLine::Handle(int argc, const char* const* argv, FILE* out, FILE* err) {
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        switch (RequestOf(argv[i])) {
            case Request::Help: PrintHelp(out); return 0;
            case Request::Version: PrintVersion(out); return 0;
            case Request::ListAudioDevices: return ListAudioDevices(out, err);
            case Request::None: break;
        }
    }
    const AppOptions options = AppOptions::Parse(argc, argv);
    for (const CascadeString& unknown : options.unknownOptions) {
        if (unknown.View().starts_with("--")) {
            std::fprintf(err, "quendrel: unknown option \"%s\" (quendrel --help lists the options)\n", unknown.c_str());
            return kUsageError;
        }
        std::fprintf(err, "quendrel: unknown option \"%s\", taken as the server address (quendrel --help lists the options)\n",
                     unknown.c_str());
    }
    if (options.audioDevice) ::setenv(CascadeAudioDevices::kEnvironmentName, options.audioDevice->c_str(), 1);
    return std::nullopt;
}

void AppCommandLine::PrintVersion(FILE* out) { std::fprintf(out, "Quendrel %s\n", QUENDREL_VERSION); }

void AppCommandLine::PrintHelp(FILE* out) {
    std::fputs(
        "Usage: quendrel [server-address] [options]\n"
        "A full-screen music player, remote control and internet-radio browser for SlimServer.\n"
        "Without an address Quendrel looks for a server on the local network.\n"
        "\n"
        "Options (names without regard to case):\n"
        "  -debug                      log every message to debug.txt\n"
        "  -Screensaver=N              screen saver after N idle minutes (0: never; default 10)\n"
        "  -PlaylistId=N               play saved playlist N after connecting\n"
        "  -RepeatMode=0|1|2           repeat off, song, all after connecting\n"
        "  -ShuffleMode=0|1|2          shuffle off, songs, albums after connecting\n"
        "  -SlimProtoPort=PORT         the server's player port (3483)\n"
        "  -SlimCLIPort=PORT           the server's command line port (9090)\n"
        "  -SlimWebPort=PORT           the server's web port (9000)\n"
        "  -NoInfoOnHide               no small info window while hidden\n"
        "  -NoSSOnHide                 no screen saver while hidden\n"
        "  -UseLargeFont, -LargeCoverArt, -EnableWrapAround, -SSTransport,\n"
        "  -LowContrast, -SmoothScroll, -DisableWAVHeaders\n"
        "                              look and behaviour switches\n"
        "  -AudioDevice=NAME           play on the sound output NAME\n"
        "  --list-audio-devices        list the sound outputs and exit\n"
        "  --help                      show this help and exit\n"
        "  --version                   show the version and exit\n"
        "\n"
        "Environment:\n"
        "  QUENDREL_AUDIO_DEVICE       the sound output by name (as -AudioDevice=)\n"
        "  QUENDREL_WINDOWED=1         a window instead of full screen\n"
        "  SDL_VIDEODRIVER=kmsdrm      full screen on the console, without a desktop\n"
        "\n"
        "Files (installed; from a build tree everything is in build/app):\n"
        "  ~/.config/quendrel/keymap.conf      your remote's keys (overrides the installed key map)\n"
        "  ~/.local/share/quendrel/Favorites.xml  the radio Favorites\n"
        "  ~/.local/state/quendrel/debug.txt   the log written with -debug\n"
        "\n"
        "A running Quendrel takes commands from quendrel-ecp, e.g. quendrel-ecp \"Quendrel pause\".\n",
        out);
}

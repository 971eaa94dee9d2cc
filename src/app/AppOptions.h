#pragma once

#include "platform/CascadeString.h"

#include <cstdint>
#include <optional>
#include <vector>

// The command line. Each argument after the program's path is compared with
// the option names in a fixed order, without regard to case; names ending in
// "=" take the rest of the argument as their value. An argument that matches
// nothing is the server address (the last one wins).
struct AppOptions {
    bool debug = false;
    uint32_t idleTicks = 60;                 // "-Screensaver=": minutes x 6 ticks of 10 s
    long playlistId = -1;                    // "-PlaylistId="
    std::optional<uint8_t> repeatMode;       // "-RepeatMode=", kept as 8 bits
    std::optional<uint8_t> shuffleMode;      // "-ShuffleMode=", kept as 8 bits
    std::optional<CascadeString> portProto;  // "-SlimProtoPort=", text as given
    std::optional<CascadeString> portCLI;    // "-SlimCLIPort="
    std::optional<CascadeString> portWeb;    // "-SlimWebPort="
    bool infoWhenHidden = true;              // cleared by "-NoInfoOnHide"
    bool screenSaverWhenHidden = true;       // cleared by "-NoSSOnHide"
    bool useLargeFont = false;
    bool largeCoverArt = false;
    bool wrapAround = false;
    bool ssTransport = false;
    bool disableWavHeaders = false;
    bool lowContrast = false;
    bool smoothScroll = false;
    std::optional<CascadeString> audioDevice;  // "-AudioDevice=": the sound output by name
    CascadeString serverAddress;             // empty: find the server by discovery
    // Arguments that begin with "-" and name no option, in order. Each is
    // also taken as the server address, as any unmatched argument is.
    std::vector<CascadeString> unknownOptions;

    static AppOptions Parse(int argc, const char* const* argv);
    // Copies what the options set into the process-wide g_ settings.
    void ApplyToSettings() const;
};

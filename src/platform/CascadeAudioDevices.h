#pragma once

#include <string>
#include <vector>

// The sound outputs of the box, by the names SDL's audio driver gives them
// (an ALSA card, a PulseAudio or PipeWire sink, a HDMI port). The PCM output
// opens the one named by QUENDREL_AUDIO_DEVICE ("-AudioDevice=" sets it at
// start-up), the system's default when that is unset or empty, and the
// default again, with a log line, when no output has that name.
//
// Static; any thread, but List starts and stops SDL's audio subsystem, so
// call it before any audio is playing (the program's --list-audio-devices).
class CascadeAudioDevices {
public:
    static constexpr const char* kEnvironmentName = "QUENDREL_AUDIO_DEVICE";

    // The output names, in the driver's order. False with the reason in
    // `error` when audio cannot start.
    [[nodiscard]] static bool List(std::vector<std::string>& names, std::string& driver, std::string& error);
    // The chosen name; "" for the default output.
    static std::string Chosen();
};

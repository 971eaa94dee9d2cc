#include "app/AppOptions.h"

#include "app/base/AppSettings.h"
#include "server/EUtils.h"

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>

namespace {

using Setter = std::function<void(AppOptions&, std::string_view value)>;

struct Option {
    std::string_view name;  // ending in "=" when it takes a value
    Setter apply;
};

uint8_t Low8(std::string_view value) { return static_cast<uint8_t>(EUtils::ParseDecimal(value) & 0xFF); }

// In the order arguments are compared with them; the first match applies.
const std::array<Option, 19>& Options() {
    static const std::array<Option, 19> options{{
        {"-debug", [](AppOptions& o, std::string_view) { o.debug = true; }},
        {"-Screensaver=",
         [](AppOptions& o, std::string_view v) { o.idleTicks = static_cast<uint32_t>(std::clamp<int64_t>(EUtils::ParseDecimal(v), 0, 0x7FFFFFFF / 6) * 6); }},
        {"-PlaylistId=", [](AppOptions& o, std::string_view v) { o.playlistId = long(EUtils::ParseDecimal(v)); }},
        {"-RepeatMode=", [](AppOptions& o, std::string_view v) { o.repeatMode = Low8(v); }},
        {"-ShuffleMode=", [](AppOptions& o, std::string_view v) { o.shuffleMode = Low8(v); }},
        {"-SlimProtoPort=", [](AppOptions& o, std::string_view v) { o.portProto = CascadeString(v); }},
        {"-SlimCLIPort=", [](AppOptions& o, std::string_view v) { o.portCLI = CascadeString(v); }},
        {"-SlimWebPort=", [](AppOptions& o, std::string_view v) { o.portWeb = CascadeString(v); }},
        {"-NoInfoOnHide", [](AppOptions& o, std::string_view) { o.infoWhenHidden = false; }},
        {"-NoSSOnHide", [](AppOptions& o, std::string_view) { o.screenSaverWhenHidden = false; }},
        {"-UseLargeFont", [](AppOptions& o, std::string_view) { o.useLargeFont = true; }},
        {"-LargeCoverArt", [](AppOptions& o, std::string_view) { o.largeCoverArt = true; }},
        {"-EnableWrapAround", [](AppOptions& o, std::string_view) { o.wrapAround = true; }},
        {"-UseXMLInLibrary", [](AppOptions&, std::string_view) {}},  // accepted, no effect
        {"-SSTransport", [](AppOptions& o, std::string_view) { o.ssTransport = true; }},
        {"-DisableWAVHeaders", [](AppOptions& o, std::string_view) { o.disableWavHeaders = true; }},
        {"-LowContrast", [](AppOptions& o, std::string_view) { o.lowContrast = true; }},
        {"-SmoothScroll", [](AppOptions& o, std::string_view) { o.smoothScroll = true; }},
        {"-AudioDevice=", [](AppOptions& o, std::string_view v) { o.audioDevice = CascadeString(v); }},
    }};
    return options;
}

bool Matches(const Option& option, std::string_view argument, std::string_view& value) {
    const CascadeString arg(argument);
    if (option.name.ends_with('=')) {
        if (argument.size() < option.name.size()) return false;
        if (arg.Compare(option.name, CascadeCase::Insensitive, option.name.size()) != 0) return false;
        value = argument.substr(option.name.size());
        return true;
    }
    return arg.Compare(option.name, CascadeCase::Insensitive) == 0;
}

}  // namespace

AppOptions AppOptions::Parse(int argc, const char* const* argv) {
    AppOptions options;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        const std::string_view argument = argv[i];
        bool matched = false;
        for (const Option& option : Options()) {
            std::string_view value;
            if (Matches(option, argument, value)) {
                option.apply(options, value);
                matched = true;
                break;
            }
        }
        if (matched) continue;
        options.serverAddress = CascadeString(argument);
        if (argument.starts_with('-')) options.unknownOptions.emplace_back(argument);
    }
    return options;
}

void AppOptions::ApplyToSettings() const {
    if (portProto) g_portProto = *portProto;
    if (portCLI) g_portCLI = *portCLI;
    if (portWeb) g_portWeb = *portWeb;
    if (!serverAddress.IsEmpty()) g_serverIP = serverAddress;
    if (useLargeFont) g_useLargeFont = 1;
    if (largeCoverArt) g_largeCoverArt = 1;
    if (wrapAround) g_wrapAround = 1;
    if (ssTransport) g_ssTransport = 1;
    if (disableWavHeaders) g_addWaveHeader = 0;
    if (lowContrast) g_fgColor = CascadeColor(0xDCDCDCFFu);
    if (smoothScroll) g_smoothScroll = 1;
}

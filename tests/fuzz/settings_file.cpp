// The stored settings file: the input is the file as found on disk. Every
// key it holds is read back, and a value written over it (the input's last
// line, up to its first NUL) must read back unchanged.
#include "FuzzInput.h"
#include "platform/CascadeSettings.h"
#include "platform/CascadeString.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text = FuzzInput::Text(data, size);
    if (FuzzInput::ScratchFile("Fuzz.conf", text).empty()) return 0;
    CascadeSettings settings("Fuzz", FuzzInput::ScratchDir().c_str());
    CascadeString value;
    const std::vector<std::string_view> lines = FuzzInput::Lines(text);
    for (std::string_view line : lines) {
        const std::string key(line.substr(0, line.find('=')));
        (void)settings.ReadStringValue(key.c_str(), value);
    }
    (void)settings.ReadStringValue("SkinName", value);
    const std::string written(lines.empty() ? std::string_view() : lines.back());
    if (!settings.WriteStringValue("SkinName", written.c_str())) return 0;
    CascadeString read;
    if (!settings.ReadStringValue("SkinName", read) || read.Std() != written.c_str()) {
        std::fprintf(stderr, "settings: wrote \"%s\", read back \"%s\"\n", written.c_str(), read.c_str());
        std::abort();
    }
    return 0;
}

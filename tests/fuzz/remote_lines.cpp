// Remote-control input: the input is read as a user's key map file, and each
// of its lines as a line from lircd ("<code> <repeat> <button> <remote>");
// the buttons found are looked up in the key map read.
#include "FuzzInput.h"
#include "platform/CascadeKeyMap.h"
#include "platform/CascadeLircInput.h"

#include <optional>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text = FuzzInput::Text(data, size);
    CascadeKeyMap map;
    std::vector<std::string> problems;
    map.Read(text, "fuzz", problems);
    for (std::string_view line : FuzzInput::Lines(text)) {
        const std::optional<CascadeLircInput::Button> button = CascadeLircInput::ParseLine(line);
        if (!button) continue;
        (void)map.Lookup(button->name, false);
        (void)map.Lookup(button->name, true);
    }
    return 0;
}

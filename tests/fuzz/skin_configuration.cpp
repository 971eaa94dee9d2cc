// A skin's Configuration.xml: the input is the file as found in the skin's
// folder. It is loaded over the defaults and every colour is read; images
// are not loaded (their paths name files, not bytes from this input).
#include "FuzzInput.h"
#include "ui/Configuration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = FuzzInput::ScratchFile("Configuration.xml", FuzzInput::Text(data, size));
    if (path.empty()) return 0;
    Configuration configuration;
    configuration.SetApplicationDirectory(FuzzInput::ScratchDir());
    configuration.LoadConfiguration(path.c_str(), "Default");
    (void)configuration.GetDisplayColor();
    (void)configuration.GetDisplayBackgroundColor();
    (void)configuration.GetDisplayLinesColor();
    return 0;
}

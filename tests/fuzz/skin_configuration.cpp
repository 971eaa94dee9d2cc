// A skin's Configuration.xml: the input is the file as found in the skin's
// folder. It is loaded over the defaults and every colour is read; images
// are not loaded (their paths name files, not bytes from this input).
#include "FuzzInput.h"
#include "ui/Configuration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string& dir = FuzzInput::ScratchDir();
    if (dir.empty()) return 0;
    const std::string path = dir + "/Configuration.xml";
    if (!FuzzInput::WriteFile(path, FuzzInput::Text(data, size))) return 0;
    Configuration configuration;
    configuration.SetApplicationDirectory(dir);
    configuration.LoadConfiguration(path.c_str(), "Default");
    (void)configuration.GetDisplayColor();
    (void)configuration.GetDisplayBackgroundColor();
    (void)configuration.GetDisplayLinesColor();
    return 0;
}

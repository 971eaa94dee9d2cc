// The command line: the input's NUL-separated pieces are the arguments after
// the program's path, answered by the start-up handler and then parsed into
// options and applied to the settings.
#include "FuzzInput.h"
#include "app/AppCommandLine.h"
#include "app/AppOptions.h"

#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static FILE* const s_null = std::fopen("/dev/null", "w");
    constexpr std::size_t kMaxArguments = 64;
    std::vector<std::string> arguments{"quendrel"};
    for (std::string_view piece : FuzzInput::Lines(FuzzInput::Text(data, size), '\0'))
        if (arguments.size() < kMaxArguments) arguments.emplace_back(piece);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    const int argc = int(arguments.size());
    if (AppCommandLine::Handle(argc, argv.data(), s_null, s_null)) return 0;
    AppOptions::Parse(argc, argv.data()).ApplyToSettings();
    return 0;
}

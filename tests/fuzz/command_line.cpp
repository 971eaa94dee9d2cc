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
    std::string_view rest = FuzzInput::Text(data, size);
    while (!rest.empty() && arguments.size() < kMaxArguments) {
        const std::size_t end = rest.find('\0');
        arguments.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    const int argc = int(arguments.size());
    if (AppCommandLine::Handle(argc, argv.data(), s_null, s_null)) return 0;
    AppOptions::Parse(argc, argv.data()).ApplyToSettings();
    return 0;
}

#include "app/AppCommandLine.h"
#include "platform/CascadeAudioDevices.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Outcome {
    std::optional<int> code;
    std::string out;
    std::string err;
};

Outcome Handle(std::vector<const char*> args) {
    args.insert(args.begin(), "/usr/bin/quendrel");
    FILE* files[] = {std::tmpfile(), std::tmpfile()};
    Outcome o;
    o.code = AppCommandLine::Handle(int(args.size()), args.data(), files[0], files[1]);
    for (int i = 0; i < 2; ++i) {
        std::string& text = i == 0 ? o.out : o.err;
        std::rewind(files[i]);
        for (int c; (c = std::fgetc(files[i])) != EOF;) text += char(c);
        std::fclose(files[i]);
    }
    return o;
}

// Each answers on standard output and ends the program, whatever else the
// command line holds. SDL's dummy driver (the tests' environment) has one
// output.
TEST(AppCommandLine, HelpVersionAndAudioOutputsAnswerAndEnd) {
    const char* usage = "Usage: quendrel [server-address] [options]\n";
    const std::pair<const char*, const char*> cases[] = {
        {"--help", usage}, {"--HELP", usage},          {"-h", usage},
        {"-help", usage},  {"--version", "Quendrel "}, {"--list-audio-devices", "Audio outputs (driver "}};
    for (const auto& [arg, start] : cases) {
        const Outcome o = Handle({"10.0.0.1", arg});
        EXPECT_EQ(o.code, 0) << arg << o.err;
        EXPECT_EQ(o.out.rfind(start, 0), 0u) << arg << o.out;
        EXPECT_TRUE(o.err.empty()) << arg << o.err;
    }
    EXPECT_NE(Handle({"-h"}).out.find("-SlimCLIPort="), std::string::npos);
    EXPECT_EQ(Handle({"--version"}).out.find("unknown"), std::string::npos);  // the build gave the version
}

TEST(AppCommandLine, UnknownOptionsAreNamedAndTheAudioDeviceIsChosen) {
    // A GNU-style option that does not exist ends the program.
    const Outcome gnu = Handle({"--fullscreen", "10.0.0.1"});
    EXPECT_EQ(gnu.code, AppCommandLine::kUsageError);
    EXPECT_NE(gnu.err.find("unknown option \"--fullscreen\""), std::string::npos) << gnu.err;
    // One dash: named, and still the server address as any unmatched argument.
    const Outcome one = Handle({"-debugx"});
    EXPECT_FALSE(one.code.has_value());
    EXPECT_NE(one.err.find("unknown option \"-debugx\", taken as the server address"), std::string::npos) << one.err;
    // Known options, any case, and a bare address say nothing.
    ::unsetenv(CascadeAudioDevices::kEnvironmentName);
    const Outcome known = Handle({"-DEBUG", "-slimcliport=9091", "192.168.1.2", "-audiodevice=HDMI 1 (Living Room)"});
    EXPECT_FALSE(known.code.has_value());
    EXPECT_TRUE(known.err.empty() && known.out.empty()) << known.err << known.out;
    EXPECT_EQ(CascadeAudioDevices::Chosen(), "HDMI 1 (Living Room)");
    ::unsetenv(CascadeAudioDevices::kEnvironmentName);
}

}  // namespace

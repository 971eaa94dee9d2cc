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

TEST(AppCommandLine, HelpVersionAndAudioOutputsAnswerAndEnd) {
    for (const char* help : {"--help", "--HELP", "-h", "-help"}) {
        const Outcome o = Handle({"10.0.0.1", help});
        EXPECT_EQ(o.code, 0) << help;
        EXPECT_EQ(o.out.rfind("Usage: quendrel [server-address] [options]\n", 0), 0u) << help;
        EXPECT_NE(o.out.find("-SlimCLIPort="), std::string::npos);
        EXPECT_TRUE(o.err.empty());
    }
    const Outcome v = Handle({"--version"});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out.rfind("Quendrel ", 0), 0u) << v.out;
    EXPECT_EQ(v.out.find("unknown"), std::string::npos) << v.out;  // the build gave the version
    // SDL's dummy driver (the tests' environment) has one output.
    const Outcome list = Handle({"--list-audio-devices"});
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out.rfind("Audio outputs (driver ", 0), 0u) << list.out;
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

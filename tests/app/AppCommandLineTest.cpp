#include "app/AppCommandLine.h"
#include "platform/CascadeAudioDevices.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Outcome {
    std::optional<int> code;
    std::string out;
    std::string err;
};

std::string Slurp(FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    return text;
}

Outcome Handle(std::vector<const char*> args) {
    args.insert(args.begin(), "/usr/bin/quendrel");
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::tmpfile(), &std::fclose);
    std::unique_ptr<FILE, int (*)(FILE*)> err(std::tmpfile(), &std::fclose);
    Outcome o;
    o.code = AppCommandLine::Handle(int(args.size()), args.data(), out.get(), err.get());
    o.out = Slurp(out.get());
    o.err = Slurp(err.get());
    return o;
}

TEST(AppCommandLine, HelpAndVersionAnswerAndEnd) {
    for (const char* help : {"--help", "--HELP", "-h", "-help"}) {
        const Outcome o = Handle({"10.0.0.1", help});
        EXPECT_EQ(o.code, 0) << help;
        EXPECT_EQ(o.out.rfind("Usage: quendrel [server-address] [options]\n", 0), 0u) << help;
        EXPECT_NE(o.out.find("-SlimCLIPort="), std::string::npos);
        EXPECT_NE(o.out.find("--list-audio-devices"), std::string::npos);
        EXPECT_TRUE(o.err.empty());
    }
    const Outcome v = Handle({"--version"});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out.rfind("Quendrel ", 0), 0u) << v.out;
    EXPECT_EQ(v.out.find("unknown"), std::string::npos) << v.out;  // the build gave the version
}

TEST(AppCommandLine, UnknownOptionsAreNamed) {
    // A GNU-style option that does not exist ends the program.
    const Outcome gnu = Handle({"--fullscreen", "10.0.0.1"});
    EXPECT_EQ(gnu.code, AppCommandLine::kUsageError);
    EXPECT_NE(gnu.err.find("unknown option \"--fullscreen\""), std::string::npos) << gnu.err;
    // One dash: named, and still the server address as any unmatched argument.
    const Outcome one = Handle({"-debugx"});
    EXPECT_FALSE(one.code.has_value());
    EXPECT_NE(one.err.find("unknown option \"-debugx\", taken as the server address"), std::string::npos) << one.err;
    // Known options, any case, and a bare address say nothing.
    const Outcome known = Handle({"-DEBUG", "-slimcliport=9091", "192.168.1.2", "-UseXMLInLibrary"});
    EXPECT_FALSE(known.code.has_value());
    EXPECT_TRUE(known.err.empty()) << known.err;
    EXPECT_TRUE(known.out.empty()) << known.out;
}

TEST(AppCommandLine, AudioDeviceOptionChoosesTheOutput) {
    ::unsetenv(CascadeAudioDevices::kEnvironmentName);
    EXPECT_EQ(CascadeAudioDevices::Chosen(), "");
    EXPECT_FALSE(Handle({"-audiodevice=HDMI 1 (Living Room)"}).code.has_value());
    EXPECT_EQ(CascadeAudioDevices::Chosen(), "HDMI 1 (Living Room)");
    ::unsetenv(CascadeAudioDevices::kEnvironmentName);
}

TEST(AppCommandLine, ListsTheAudioOutputs) {
    // SDL's dummy driver (the tests' environment) has one output.
    const Outcome o = Handle({"--list-audio-devices"});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out.rfind("Audio outputs (driver ", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("QUENDREL_AUDIO_DEVICE"), std::string::npos);
}

}  // namespace

#pragma once

#include "server/SlimCLIConnection.h"
#include "support/SlimSimulator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The player the tests speak for.
inline constexpr const char* kMac = "00:04:20:12:34:56";
using Lines = std::vector<std::string>;

// A CLI connection to the server simulator, with a player that said hello.
class SlimCLISimulator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start());
        ASSERT_TRUE(m_sim.ConnectPlayer(kMac));
        m_cli.SetPlayerId(kMac);
        m_cli.SetWebPort(std::to_string(m_sim.GetPorts().web));
        ASSERT_TRUE(m_cli.Connect("127.0.0.1", m_sim.GetPorts().cli));
        m_sim.Control("reset");
    }
    // The lines the CLI connection sent since the last call.
    Lines Sent() {
        Lines lines = m_sim.CliLines();
        m_sim.Control("reset");
        return lines;
    }
    static std::string P(const std::string& rest) { return std::string(kMac) + " " + rest; }
    static Lines Player(Lines lines) {
        for (std::string& line : lines) line = P(line);
        return lines;
    }

    SlimSimulator m_sim;
    SlimCLIConnection m_cli;
};

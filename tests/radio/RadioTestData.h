#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

// The real directory feeds and outlines the radio tests read, kept byte for
// byte under tests/radio/data.
inline std::string RadioSample(std::string_view name) {
    std::ifstream in(QUENDREL_SOURCE_ROOT "/tests/radio/data/" + std::string(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

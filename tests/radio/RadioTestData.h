#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

// The real directory feeds and outlines the radio tests read, kept byte for
// byte under tests/radio/data. The source tree is QUENDREL_SOURCE_DIR (ctest
// sets it), else the one the build tree's CMakeCache.txt names (the test
// program lives in <build>/tests/).
inline std::string RadioSample(std::string_view name) {
    std::string root = std::getenv("QUENDREL_SOURCE_DIR") ? std::getenv("QUENDREL_SOURCE_DIR") : "";
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    std::ifstream cache(self.parent_path().parent_path() / "CMakeCache.txt");
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    for (std::string line; root.empty() && std::getline(cache, line);)
        if (line.rfind(key, 0) == 0) root = line.substr(key.size());
    std::ifstream in(root + "/tests/radio/data/" + std::string(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

#pragma once

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

// The source tree: QUENDREL_SOURCE_DIR when set; else this header's own
// path when the compiler gave an absolute one; else the source directory
// the build tree's CMakeCache.txt names (the test program lives in
// <build>/tests/, and the compiler may give __FILE__ relative to <build>).
inline std::string RadioSourceDir() {
    if (const char* root = std::getenv("QUENDREL_SOURCE_DIR"); root && *root) return root;
    std::string source = __FILE__;
    if (!source.empty() && source.front() == '/') {
        // tests/radio/ lies two levels below the source root.
        for (int up = 0; up < 3; ++up) source = source.substr(0, source.rfind('/'));
        return source;
    }
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    std::ifstream cache(self.parent_path().parent_path() / "CMakeCache.txt");
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    for (std::string line; std::getline(cache, line);)
        if (line.rfind(key, 0) == 0) return line.substr(key.size());
    return ".";
}

// The real directory feeds and outlines the radio tests read, kept byte for
// byte under tests/radio/data.
inline std::string RadioSamplePath(std::string_view name) {
    return RadioSourceDir() + "/tests/radio/data/" + std::string(name);
}

inline std::string RadioSample(std::string_view name) {
    std::ifstream in(RadioSamplePath(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Whether `text` is well-formed UTF-8 without control characters other
// than tab, line feed and carriage return.
inline bool IsCleanUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') return false;
        std::size_t n = b < 0x80                   ? 1
                        : (b >= 0xC2 && b <= 0xDF) ? 2
                        : (b >= 0xE0 && b <= 0xEF) ? 3
                        : (b >= 0xF0 && b <= 0xF4) ? 4
                                                   : 0;
        if (n == 0 || i + n > text.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        if (n == 3 && b == 0xE0 && static_cast<unsigned char>(text[i + 1]) < 0xA0) return false;
        if (n == 3 && b == 0xED && static_cast<unsigned char>(text[i + 1]) > 0x9F) return false;
        if (n == 4 && b == 0xF0 && static_cast<unsigned char>(text[i + 1]) < 0x90) return false;
        if (n == 4 && b == 0xF4 && static_cast<unsigned char>(text[i + 1]) > 0x8F) return false;
        i += n;
    }
    return true;
}

// Names the cases of a parameterised test after their `label` field.
struct LabelName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        std::string name = info.param.label;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    }
};

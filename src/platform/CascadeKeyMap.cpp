#include "platform/CascadeKeyMap.h"

#include "platform/CascadeKeys.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace {

constexpr std::size_t kMaxLine = 256;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string Problem(std::string_view source, int line, const std::string& what) {
    return std::string(source) + ":" + std::to_string(line) + ": " + what;
}

}  // namespace

CascadeKeyMap::CascadeKeyMap() {
    std::vector<std::string> problems;
    Read(DefaultText(), "built-in key map", problems);
}

std::string CascadeKeyMap::Normalised(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

void CascadeKeyMap::Read(std::string_view text, std::string_view source, std::vector<std::string>& problems) {
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        line = Trimmed(line);
        if (line.empty() || line.front() == '#') continue;
        if (line.size() > kMaxLine) {
            problems.push_back(Problem(source, number, "line longer than " + std::to_string(kMaxLine) + " characters"));
            continue;
        }
        // The application's key names hold no "=", a reported key may ("Shift+=").
        const std::size_t equals = line.rfind('=');
        if (equals == std::string_view::npos) {
            problems.push_back(Problem(source, number, "no \"=\" in \"" + std::string(line) + "\""));
            continue;
        }
        const std::string_view reported = Trimmed(line.substr(0, equals));
        const std::string_view target = Trimmed(line.substr(equals + 1));
        if (reported.empty() || target.empty()) {
            problems.push_back(Problem(source, number, "a key on each side of \"=\" expected in \"" + std::string(line) + "\""));
            continue;
        }
        if (Normalised(target) == "none") {
            m_keys[Normalised(reported)] = 0;
            continue;
        }
        const std::optional<unsigned long> key = CascadeKeys::Parse(target);
        if (!key || *key == 0) {
            problems.push_back(Problem(source, number, "unknown key \"" + std::string(target) + "\""));
            continue;
        }
        m_keys[Normalised(reported)] = *key;
    }
}

bool CascadeKeyMap::ReadFile(const std::string& path, std::vector<std::string>& problems) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        problems.push_back(path + ": cannot be read");
        return false;
    }
    Read(text.str(), path, problems);
    return true;
}

std::optional<unsigned long> CascadeKeyMap::Lookup(std::string_view name, bool shift) const {
    if (name.empty()) return std::nullopt;
    if (shift) {
        if (auto it = m_keys.find("shift+" + Normalised(name)); it != m_keys.end())
            return it->second ? std::optional(it->second) : std::nullopt;
    }
    auto it = m_keys.find(Normalised(name));
    if (it == m_keys.end() || it->second == 0) return std::nullopt;
    return it->second;
}

bool CascadeKeyMap::Repeats(unsigned long key) {
    return CascadeKeys::IsArrow(key) || key == CascadeKeys::kVolumeUp || key == CascadeKeys::kVolumeDown;
}

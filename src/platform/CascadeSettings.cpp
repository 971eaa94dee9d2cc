#include "platform/CascadeSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>

namespace {

// Closes a descriptor it holds when it goes out of scope.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    ~ScopedFd() { Reset(); }
    int Get() const { return m_fd; }
    // Closes now; false when close reported an error (a write may be lost).
    bool Reset() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string Escape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

// The value an escaped text stands for; nullopt for an unknown or cut escape.
std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        if (text[i] == '\\') out += '\\';
        else if (text[i] == 'n') out += '\n';
        else if (text[i] == 'r') out += '\r';
        else return std::nullopt;
    }
    return out;
}

bool IsValidKey(std::string_view key) {
    return !key.empty() && key.front() != '#' && key.find_first_of("=\n\r") == std::string_view::npos;
}

// mkdir -p with mode 0700 for what it creates.
bool MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

std::string ConfigDirectory() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return xdg;
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config";
    return {};
}

}  // namespace

CascadeSettings::CascadeSettings(const char* name) { SetPath(name, ConfigDirectory()); }

CascadeSettings::CascadeSettings(const char* name, const char* directory) {
    SetPath(name, directory ? directory : "");
}

void CascadeSettings::SetPath(const char* name, const std::string& directory) {
    const std::string_view n = name ? name : "";
    if (n.empty() || n.find('/') != std::string_view::npos || n == "." || n == "..") {
        std::fprintf(stderr, "settings: unusable name \"%.*s\"\n", int(n.size()), n.data());
        return;
    }
    if (directory.empty()) {
        std::fprintf(stderr, "settings: no configuration directory for \"%s\" (HOME unset)\n", name);
        return;
    }
    m_directory = directory;
    while (m_directory.size() > 1 && m_directory.back() == '/') m_directory.pop_back();
    m_path = m_directory + "/" + std::string(n) + ".conf";
}

bool CascadeSettings::Load(Entries& entries) const {
    entries.clear();
    std::ifstream file(m_path, std::ios::binary);
    if (!file) return errno == ENOENT;
    std::string line;
    for (unsigned number = 1; std::getline(file, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        std::optional<std::string> value;
        if (equals != std::string::npos) value = Unescape(std::string_view(line).substr(equals + 1));
        if (equals == 0 || !value) {
            std::fprintf(stderr, "settings: %s:%u: garbled line skipped\n", m_path.c_str(), number);
            continue;
        }
        std::string key = line.substr(0, equals);
        auto same = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; });
        if (same != entries.end()) same->second = std::move(*value);
        else entries.emplace_back(std::move(key), std::move(*value));
    }
    return true;
}

bool CascadeSettings::ReadStringValue(const char* key, CascadeString& value) const {
    Entries entries;
    if (m_path.empty() || !key || !Load(entries)) return false;
    for (const auto& [k, v] : entries) {
        if (k == key) {
            value = CascadeString(v);
            return true;
        }
    }
    return false;
}

bool CascadeSettings::WriteStringValue(const char* key, const char* value) {
    if (m_path.empty()) return false;
    if (!key || !IsValidKey(key)) {
        std::fprintf(stderr, "settings: key \"%s\" cannot be stored\n", key ? key : "");
        return false;
    }
    Entries entries;
    if (!Load(entries)) {
        std::fprintf(stderr, "settings: %s: cannot read: %s\n", m_path.c_str(), std::strerror(errno));
        return false;
    }
    const std::string text = value ? value : "";
    auto same = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; });
    if (same != entries.end()) same->second = text;
    else entries.emplace_back(key, text);
    return Store(entries);
}

bool CascadeSettings::Store(const Entries& entries) const {
    if (!MakeDirectories(m_directory)) {
        std::fprintf(stderr, "settings: cannot create %s: %s\n", m_directory.c_str(), std::strerror(errno));
        return false;
    }
    std::string content;
    for (const auto& [k, v] : entries) content += k + "=" + Escape(v) + "\n";
    std::string temporary = m_path + ".tmp.XXXXXX";
    ScopedFd fd(::mkstemp(temporary.data()));
    if (fd.Get() < 0) {
        std::fprintf(stderr, "settings: cannot write in %s: %s\n", m_directory.c_str(), std::strerror(errno));
        return false;
    }
    ::fchmod(fd.Get(), 0600);
    const bool written = WriteAll(fd.Get(), content) && ::fsync(fd.Get()) == 0 && fd.Reset();
    if (!written || ::rename(temporary.c_str(), m_path.c_str()) != 0) {
        std::fprintf(stderr, "settings: cannot write %s: %s\n", m_path.c_str(), std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    ScopedFd dir(::open(m_directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());
    return true;
}

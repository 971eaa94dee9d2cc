#include "server/CliRequestKind.h"

#include <array>
#include <cctype>
#include <vector>

namespace {

// The server's queries that take no "?": they answer with lists and status.
constexpr std::array<std::string_view, 14> kQueryCommands = {
    "status", "songinfo", "genres",  "artists", "albums", "titles",        "tracks",
    "songs",  "years",    "players", "search",  "can",    "readdirectory", "musicfolder",
};

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(" \r\n");
        if (start == std::string_view::npos) break;
        line.remove_prefix(start);
        const std::size_t end = line.find_first_of(" \r\n");
        words.push_back(line.substr(0, end));
        line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    }
    return words;
}

// "00:04:20:12:34:56" (as this client writes it) or its escaped form.
bool IsPlayerId(std::string_view word) {
    return word.find(':') != std::string_view::npos || word.find("%3A") != std::string_view::npos;
}

bool IsNumber(std::string_view word) {
    if (word.empty()) return false;
    for (char c : word)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

bool CliRequestKind::IsQuery(std::string_view request) {
    std::vector<std::string_view> words = Words(request);
    if (!words.empty() && IsPlayerId(words.front())) words.erase(words.begin());
    if (words.empty()) return false;
    if (words.back() == "?") return true;
    const std::string_view command = words.front();
    for (std::string_view query : kQueryCommands)
        if (command == query) return true;
    // "playlists 0 50" and "playlists tracks ..." list; "playlists rename" and
    // friends change the saved playlists.
    return command == "playlists" && words.size() > 1 && (IsNumber(words[1]) || words[1] == "tracks");
}

#include "server/StatusReply.h"

#include "platform/CascadeDecimal.h"
#include "server/CliText.h"

#include <cstdio>

namespace StatusReply {

unsigned long ReadHeader(std::string_view reply, SlimConnection::PlayerStatus& status) {
    unsigned long elapsed = 0;
    bool first = true;
    CliText::ForEachWord(reply, [&](std::string_view word) {
        if (first) {
            first = false;
            return;
        }
        const auto value = [&](std::string_view key, auto& field) {
            if (!word.starts_with(key)) return false;
            field = static_cast<std::remove_reference_t<decltype(field)>>(CascadeDecimal::ParseCount(word.substr(key.size())));
            return true;
        };
        value("playlist%20repeat%3A", status.repeat) || value("playlist%20shuffle%3A", status.shuffle) ||
            value("playlist_cur_index%3A", status.currentIndex) || value("playlist_tracks%3A", status.trackCount) ||
            value("time%3A", elapsed);
    });
    return elapsed;
}

CascadeString FormatTimeText(unsigned long elapsed, unsigned long total) {
    constexpr unsigned long kHour = 3600;
    char text[64];
    const auto hms = [](unsigned long s, char* out, std::size_t size) {
        std::snprintf(out, size, "%lu:%02lu:%02lu", s / kHour, s % kHour / 60, s % 60);
    };
    const auto ms = [](unsigned long s, char* out, std::size_t size) {
        std::snprintf(out, size, "%lu:%02lu", s / 60, s % 60);
    };
    const bool hours = elapsed >= kHour || total >= kHour;
    char first[24], second[24];
    (hours ? hms : ms)(elapsed, first, sizeof first);
    if (total == 0) return first;
    (hours ? hms : ms)(total, second, sizeof second);
    std::snprintf(text, sizeof text, "%s / %s", first, second);
    return text;
}

void CopyCurrentSong(const SongInfo& from, SongInfo& to, unsigned long elapsed) {
    static_cast<BrowseEntry&>(to) = static_cast<const BrowseEntry&>(from);
    to.title = from.title;
    to.album = from.album;
    to.albumId = from.albumId;
    to.artist = from.artist;
    to.artistId = from.artistId;
    to.genre = from.genre;
    to.genreId = from.genreId;
    to.trackNum = from.trackNum;
    to.year = from.year;
    to.duration = from.duration;
    to.bitrate = from.bitrate;
    to.songId = from.songId;
    to.playlistIndex = from.playlistIndex;
    to.path = from.path;
    to.coverPath = CascadeString();  // derived from the song id
    to.secondsElapsed = static_cast<uint16_t>(elapsed);
    to.secondsTotal = from.secondsTotal;
    to.progress = to.secondsTotal ? float(to.secondsElapsed) / float(to.secondsTotal) : 0.0f;
    to.timeText = FormatTimeText(to.secondsElapsed, to.secondsTotal);
}

void ResetCurrentSong(SongInfo& to) {
    const SongInfo defaults;
    CopyCurrentSong(defaults, to, 0);
    to.coverPath = defaults.coverPath;
    to.timeText = defaults.timeText;
}

}  // namespace StatusReply

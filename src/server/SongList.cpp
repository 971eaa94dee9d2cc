#include "server/SongList.h"

#include "platform/CascadeDecimal.h"
#include "server/CliText.h"
#include "server/StreamTitle.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <memory>

namespace {

using Field = CascadeString SongInfo::*;

// The field a reply word's value is decoded into, by the name before "%3A";
// null for names this record does not keep. Switching on the length first
// keeps the comparisons to a few fixed-size ones per word.
Field DecodedField(std::string_view name) {
    switch (name.size()) {
        case 4:
            if (name == "band") return &SongInfo::band;
            if (name == "item") return &SongInfo::title;
            if (name == "year") return &SongInfo::year;
            if (name == "type") return &SongInfo::contentType;
            return nullptr;
        case 5:
            if (name == "album") return &SongInfo::album;
            if (name == "title") return &SongInfo::title;
            if (name == "genre") return &SongInfo::genre;
            return nullptr;
        case 6: return name == "artist" ? &SongInfo::artist : nullptr;
        case 7: return name == "bitrate" ? &SongInfo::bitrate : nullptr;
        case 8:
            if (name == "composer") return &SongInfo::composer;
            if (name == "tracknum") return &SongInfo::trackNum;
            if (name == "album_id") return &SongInfo::albumId;
            if (name == "genre_id") return &SongInfo::genreId;
            if (name == "filesize") return &SongInfo::fileSize;
            return nullptr;
        case 9: return name == "artist_id" ? &SongInfo::artistId : nullptr;
        case 10: return name == "tagversion" ? &SongInfo::tagVersion : nullptr;
        default: return nullptr;
    }
}
constexpr std::string_view kColon = "%3A";

void ReadDuration(std::string_view value, SongInfo& song) {
    const int64_t seconds = CascadeDecimal::ParseCount(CliText::Decode(value).View());
    song.secondsTotal = static_cast<uint16_t>(seconds);
    const int64_t minutes = seconds / 60, rest = seconds % 60;
    char text[32];
    char* end = std::to_chars(text, text + 24, minutes).ptr;
    *end++ = ':';
    if (rest >= 0 && rest < 10) *end++ = '0';
    end = std::to_chars(end, text + sizeof text, rest).ptr;
    song.duration = CascadeString(std::string_view(text, std::size_t(end - text)));
}

void SetSongId(std::string_view id, SongInfo& song) { song.songId = id; }

// The fields whose words need more than a decode.
bool ReadSpecialWord(std::string_view name, std::string_view value, SongInfo& song) {
    if (name == "dir") {
        song.path = value;
    } else if (name == "url") {
        song.url = CliText::Decode(value);
        // The value starts with the escaped scheme ("file%3A%2F%2F").
        song.path = CliText::Decode(value.size() > 13 ? value.substr(13) : std::string_view());
    } else if (name == "id") {
        SetSongId(value, song);
    } else if (name == "duration") {
        ReadDuration(value, song);
    } else {
        return false;
    }
    return true;
}

void ReadWord(std::string_view word, SongInfo& song) {
    const std::size_t colon = word.find(kColon);
    if (colon == std::string_view::npos) return;
    const std::string_view name = word.substr(0, colon), value = word.substr(colon + kColon.size());
    if (ReadSpecialWord(name, value, song)) return;
    if (const Field field = DecodedField(name)) song.*field = CliText::Decode(value);
}

struct StatusHeader {
    CascadeString currentIndex = "-1";
    CascadeString currentTitle;
};

StatusHeader ReadStatusHeader(std::string_view header) {
    StatusHeader result;
    CliText::ForEachWord(header, [&](std::string_view word) {
        constexpr std::string_view kTitle = "current_title%3A", kIndex = "playlist_cur_index%3A";
        if (word.starts_with(kTitle)) result.currentTitle = CliText::Decode(word.substr(kTitle.size()));
        if (word.starts_with(kIndex)) result.currentIndex = CliText::Decode(word.substr(kIndex.size()));
    });
    return result;
}

}  // namespace

void SongList::ParseSongInfo(std::string_view item, SongInfo& song, ItemKind kind) {
    bool first = true;
    CliText::ForEachWord(item, [&](std::string_view word) {
        if (first) {
            first = false;
            if (kind == ItemKind::PlaylistItem) {
                song.playlistIndex = word;
                return;
            }
            // The item was cut at its "id:", so the first word is the song id.
            SetSongId(word, song);
            return;
        }
        ReadWord(word, song);
    });
}

void SongList::ParseEntryList(std::string_view reply, bool markCurrent) {
    if (reply.empty()) return;
    StatusHeader header;
    ItemKind kind = ItemKind::PlaylistItem;
    std::vector<std::string_view> items = CliText::SplitAt(reply, " playlist%20index%3A");
    if (items.size() >= 2) {
        header = ReadStatusHeader(items[0]);
    } else {
        items = CliText::SplitAt(reply, " index%3A");
        if (items.size() < 2) {
            items = CliText::SplitAt(reply, " id%3A");
            kind = ItemKind::Song;
        }
    }
    // Every answer sets the total, also one that found nothing.
    const std::vector<std::string_view> count = CliText::SplitAt(items.empty() ? reply : items[0], " count%3A");
    SetTotalCount(count.size() >= 2 ? static_cast<unsigned long>(CascadeDecimal::ParseCount(count[1])) : 0);
    if (items.empty()) return;
    for (std::size_t i = 1; i < items.size(); ++i) {
        auto song = std::make_unique<SongInfo>();
        ParseSongInfo(items[i], *song, kind);
        const bool stream = song->IsRemoteStream();
        if (markCurrent && kind == ItemKind::PlaylistItem && stream && song->playlistIndex == header.currentIndex)
            StreamTitle::ApplyCurrentTitle(*song, header.currentTitle.View());
        if (stream && song->title.IsEmpty()) song->title = song->url;
        AddEntry(std::move(song));
    }
}

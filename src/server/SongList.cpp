#include "server/SongList.h"

#include "server/CliText.h"
#include "server/StreamTitle.h"

#include <array>
#include <cstdio>
#include <memory>

namespace {

using Field = CascadeString SongInfo::*;

// Reply words copied decoded into one field, in the order they are matched.
struct Key {
    std::string_view prefix;
    Field field;
};
constexpr std::array kDecodedKeys{
    Key{"artist%3A", &SongInfo::artist},       Key{"composer%3A", &SongInfo::composer},
    Key{"band%3A", &SongInfo::band},           Key{"item%3A", &SongInfo::title},
    Key{"album%3A", &SongInfo::album},         Key{"title%3A", &SongInfo::title},
    Key{"genre%3A", &SongInfo::genre},         Key{"year%3A", &SongInfo::year},
    Key{"tracknum%3A", &SongInfo::trackNum},   Key{"artist_id%3A", &SongInfo::artistId},
    Key{"album_id%3A", &SongInfo::albumId},    Key{"genre_id%3A", &SongInfo::genreId},
    Key{"bitrate%3A", &SongInfo::bitrate},     Key{"type%3A", &SongInfo::contentType},
    Key{"filesize%3A", &SongInfo::fileSize},   Key{"tagversion%3A", &SongInfo::tagVersion},
};

void ReadDuration(std::string_view value, SongInfo& song) {
    const int64_t seconds = CliText::LeadingNumber(CliText::Decode(value).View());
    song.secondsTotal = static_cast<uint16_t>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", int(seconds / 60), int(seconds % 60));
    song.duration = text;
}

// The fields whose words need more than a decode.
bool ReadSpecialWord(std::string_view word, SongInfo& song) {
    constexpr std::string_view kDir = "dir%3A", kUrl = "url%3A", kId = "id%3A", kDuration = "duration%3A";
    if (word.starts_with(kDir)) {
        song.path = word.substr(kDir.size());
    } else if (word.starts_with(kUrl)) {
        const std::string_view value = word.substr(kUrl.size());
        song.url = CliText::Decode(value);
        // The value starts with the escaped scheme ("file%3A%2F%2F").
        song.path = CliText::Decode(value.size() > 13 ? value.substr(13) : std::string_view());
    } else if (word.starts_with(kId)) {
        song.songId = word.substr(kId.size());
        song.coverPath = "music/" + song.songId + "/cover.jpg";
    } else if (word.starts_with(kDuration)) {
        ReadDuration(word.substr(kDuration.size()), song);
    } else {
        return false;
    }
    return true;
}

void ReadWord(std::string_view word, SongInfo& song) {
    if (ReadSpecialWord(word, song)) return;
    for (const Key& key : kDecodedKeys) {
        if (word.starts_with(key.prefix)) {
            song.*key.field = CliText::Decode(word.substr(key.prefix.size()));
            return;
        }
    }
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
            song.songId = word;
            song.coverPath = "music/" + song.songId + "/cover.jpg";
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
    if (items.empty()) return;
    const std::vector<std::string_view> count = CliText::SplitAt(items[0], " count%3A");
    if (count.size() >= 2) SetTotalCount(static_cast<unsigned long>(CliText::LeadingNumber(count[1])));
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

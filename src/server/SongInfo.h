#pragma once

#include "server/BrowseEntry.h"

#include <cstdint>
#include <string_view>

// A song: a BrowseEntry with the song's metadata. Text fields hold decoded
// text; ids, indexes and years stay the decimal text the server sent. A plain
// record with no lock.
class SongInfo : public BrowseEntry {
public:
    CascadeString title = "N/A";
    CascadeString album = "N/A";
    CascadeString albumId = "-1";
    CascadeString artist = "N/A";
    CascadeString artistId = "-1";
    CascadeString composer;
    CascadeString composerId;
    CascadeString band;
    CascadeString bandId;
    CascadeString genre = "N/A";
    CascadeString genreId = "0";
    CascadeString trackNum = "0";
    CascadeString year;
    CascadeString duration = "0";        // "m:ss" from the CLI
    CascadeString bitrate;
    CascadeString songId = "-1";
    CascadeString playlistIndex = "-1";
    CascadeString path;
    // The cover relative to the web root, when a page named it; otherwise
    // GetCoverPath derives it from the song id.
    CascadeString coverPath;
    CascadeString timeText = "0:00 / 0:00";
    CascadeString contentType;
    CascadeString fileSize;
    CascadeString tagVersion;
    uint16_t secondsTotal = 0;
    uint16_t secondsElapsed = 0;
    float progress = 0.0f;

    // True when the url or the path names a remote stream ("http://",
    // "mms://" or "radioio://", any case).
    // "music/<songId>/cover.jpg" unless a page named another; "" without an id.
    CascadeString GetCoverPath() const {
        if (!coverPath.IsEmpty() || songId.IsEmpty() || songId == "-1") return coverPath;
        return "music/" + songId + "/cover.jpg";
    }

    bool IsRemoteStream() const {
        return IsStreamAddress(url.View()) || IsStreamAddress(path.View());
    }

    static bool IsStreamAddress(std::string_view text);
};

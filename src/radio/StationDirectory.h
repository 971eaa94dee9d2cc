#pragma once

#include "radio/GenreNormaliser.h"
#include "server/BrowseEntryList.h"

#include <tinyxml2.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A directory published as one document of all its stations (Steamcast,
// Xiph), read once with every station's genre text normalised, then listed
// and filtered by genre in memory. Immutable after Parse; any thread may
// read it.
class StationDirectory {
public:
    enum class Format {
        Steamcast,  // rsms/channel/item: title, enclosure@url, category
        Xiph,       // directory/entry: server_name, listen_url, bitrate, genre
    };

    struct Station {
        std::string name;
        std::string url;
        std::vector<std::string> genres;  // normalised, in order, repeats kept
    };

    // Reads a directory document from its bytes (no I/O). Null, with a log
    // line naming `source`, when it does not parse or is not of `format`.
    static std::unique_ptr<StationDirectory> Parse(std::string_view bytes, Format format, const GenreNormaliser& genres,
                                                   std::string_view source);

    // Adds one entry per distinct normalised genre (compared ignoring case;
    // name and id the genre, type `type`) in alphabetical order, skipping
    // genres the list already holds.
    void AddGenres(BrowseEntryList& list, const char* type) const;
    // Adds one entry per station (name, url, id = url) in document order;
    // with a genre only the stations that have it (ignoring case); null
    // lists every station.
    void AddStations(BrowseEntryList& list, const char* genre) const;

    const std::vector<Station>& Stations() const { return m_stations; }

private:
    void ReadSteamcast(const tinyxml2::XMLElement& channel, const GenreNormaliser& genres);
    void ReadXiph(const tinyxml2::XMLElement& directory, const GenreNormaliser& genres);
    void CollectGenres();

    std::vector<Station> m_stations;
    std::vector<std::string> m_genres;  // distinct, first spelling seen, sorted ignoring case
};

#include "radio/StationDirectory.h"

#include "app/base/AppLog.h"
#include "radio/FeedDocument.h"
#include "server/EUtils.h"

#include <strings.h>

#include <algorithm>
#include <unordered_set>

namespace {

using tinyxml2::XMLElement;

constexpr long kMaxBitrate = 1024;

}  // namespace

std::unique_ptr<StationDirectory> StationDirectory::Parse(std::string_view bytes, Format format,
                                                          const GenreNormaliser& genres, std::string_view source) {
    tinyxml2::XMLDocument document;
    if (FeedDocument::Parse(bytes, document, source) == FeedDocument::ParseResult::Failed) return nullptr;
    const XMLElement* root = document.RootElement();
    auto directory = std::unique_ptr<StationDirectory>(new StationDirectory());
    const std::string name(source);
    if (format == Format::Xiph && FeedDocument::Named(*root, "directory")) {
        directory->ReadXiph(*root, genres);
    } else if (format == Format::Steamcast &&
               (FeedDocument::Named(*root, "rsms") || FeedDocument::Named(*root, "rss"))) {
        const XMLElement* channel = root->FirstChildElement();
        while (channel && !FeedDocument::Named(*channel, "channel")) channel = channel->NextSiblingElement();
        if (channel) directory->ReadSteamcast(*channel, genres);
    } else {
        AppLog::WriteToLog("radio: %s: a <%s> document is no station directory\n", false, name.c_str(), root->Name());
        return nullptr;
    }
    directory->CollectGenres();
    return directory;
}

void StationDirectory::ReadXiph(const XMLElement& directory, const GenreNormaliser& genres) {
    for (const XMLElement* entry = directory.FirstChildElement(); entry; entry = entry->NextSiblingElement()) {
        if (!FeedDocument::Named(*entry, "entry")) continue;
        Station station;
        bool genreSeen = false;
        for (const XMLElement* field = entry->FirstChildElement(); field; field = field->NextSiblingElement()) {
            if (FeedDocument::Named(*field, "server_name")) {
                station.name = FeedDocument::Text(field);
            } else if (FeedDocument::Named(*field, "listen_url")) {
                station.url = FeedDocument::Text(field);
            } else if (FeedDocument::Named(*field, "bitrate")) {
                // Free text in real feeds ("Quality 3,50", "128..", "vbr"):
                // only a leading number in range counts.
                const int64_t kbps = EUtils::ParseDecimal(FeedDocument::Text(field));
                if (kbps >= 1 && kbps <= kMaxBitrate) station.name += " (" + std::to_string(kbps) + "kbps)";
            } else if (!genreSeen && FeedDocument::Named(*field, "genre")) {
                genreSeen = true;
                station.genres = genres.Normalise(FeedDocument::Text(field));
            }
        }
        m_stations.push_back(std::move(station));
    }
}

void StationDirectory::ReadSteamcast(const XMLElement& channel, const GenreNormaliser& genres) {
    for (const XMLElement* item = channel.FirstChildElement(); item; item = item->NextSiblingElement()) {
        if (!FeedDocument::Named(*item, "item")) continue;
        Station station;
        bool genreSeen = false;
        for (const XMLElement* field = item->FirstChildElement(); field; field = field->NextSiblingElement()) {
            if (FeedDocument::Named(*field, "title")) {
                station.name = FeedDocument::Text(field);
            } else if (FeedDocument::Named(*field, "enclosure")) {
                const char* link = FeedDocument::AttributeIgnoringCase(*field, "url");
                station.url = link ? link : "";
            } else if (!genreSeen && FeedDocument::Named(*field, "category")) {
                genreSeen = true;
                station.genres = genres.Normalise(FeedDocument::Text(field));
            }
        }
        m_stations.push_back(std::move(station));
    }
}

void StationDirectory::CollectGenres() {
    std::unordered_set<std::string> seen;
    for (const Station& station : m_stations)
        for (const std::string& genre : station.genres)
            if (seen.insert(CascadeString(genre).ToLower().Std()).second) m_genres.push_back(genre);
    std::stable_sort(m_genres.begin(), m_genres.end(),
                     [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
}

void StationDirectory::AddGenres(BrowseEntryList& list, const char* type) const {
    for (const std::string& genre : m_genres) {
        if (list.Contains(genre.c_str(), genre.c_str(), CascadeCase::Insensitive) >= 0) continue;
        auto entry = std::make_unique<BrowseEntry>();
        entry->name = genre;
        entry->id = genre;
        entry->type = type ? type : "";
        list.AlphaInsertEntry(std::move(entry));
    }
}

void StationDirectory::AddStations(BrowseEntryList& list, const char* genre) const {
    for (const Station& station : m_stations) {
        if (genre && std::none_of(station.genres.begin(), station.genres.end(),
                                  [genre](const std::string& g) { return strcasecmp(g.c_str(), genre) == 0; }))
            continue;
        auto entry = std::make_unique<BrowseEntry>();
        entry->name = station.name;
        entry->url = station.url;
        entry->id = station.url;
        list.AddEntry(std::move(entry));
    }
}

#include "server/XmlBrowsePage.h"

#include "platform/CascadeDecimal.h"
#include "server/CliText.h"

#include <strings.h>

#include <array>
#include <memory>
#include <string_view>

namespace XmlBrowsePage {

namespace {

using tinyxml2::XMLElement;

const char* TextOf(const XMLElement& element) {
    const char* text = element.GetText();
    return text ? text : "";
}

bool Named(const XMLElement& element, const char* name) { return strcasecmp(element.Name(), name) == 0; }

const XMLElement* Browse(const tinyxml2::XMLDocument& document) {
    const XMLElement* root = document.RootElement();
    return root && Named(*root, "browse") ? root : nullptr;
}

using Field = CascadeString SongInfo::*;
struct SongElement {
    const char* name;
    Field field;
};
constexpr std::array kSongElements{
    SongElement{"playlist_offset", &SongInfo::playlistIndex}, SongElement{"song_id", &SongInfo::songId},
    SongElement{"title", &SongInfo::title},           SongElement{"genre_id", &SongInfo::genreId},
    SongElement{"genre", &SongInfo::genre},           SongElement{"artist_id", &SongInfo::artistId},
    SongElement{"artist", &SongInfo::artist},         SongElement{"composer_id", &SongInfo::composerId},
    SongElement{"composer", &SongInfo::composer},     SongElement{"band_id", &SongInfo::bandId},
    SongElement{"band", &SongInfo::band},             SongElement{"album_id", &SongInfo::albumId},
    SongElement{"album", &SongInfo::album},           SongElement{"track", &SongInfo::trackNum},
    SongElement{"duration", &SongInfo::duration},     SongElement{"year", &SongInfo::year},
    SongElement{"bitrate", &SongInfo::bitrate},       SongElement{"song_url", &SongInfo::url},
    SongElement{"path", &SongInfo::path},             SongElement{"type", &SongInfo::contentType},
    SongElement{"filelength", &SongInfo::fileSize},   SongElement{"tagversion", &SongInfo::tagVersion},
};

// The url of a "replace_url": the text after its "&p2="; without the marker
// the whole text, so nothing is cut at a made-up position.
std::string_view ReplaceUrl(std::string_view text) {
    const std::size_t at = text.find("&p2=");
    return at == std::string_view::npos ? text : text.substr(at + 4);
}

void ReadDir(const XMLElement& dir, BrowseEntry& entry) {
    if (const XMLElement* hierarchy = dir.FirstChildElement("dir_hierarchy")) entry.id = TextOf(*hierarchy);
    if (const XMLElement* url = dir.FirstChildElement("dir_url")) entry.url = TextOf(*url);
}

std::unique_ptr<BrowseEntry> ReadEntry(const XMLElement& element) {
    auto entry = std::make_unique<BrowseEntry>();
    for (const XMLElement* child = element.FirstChildElement(); child; child = child->NextSiblingElement()) {
        if (Named(*child, "entry_name")) {
            entry->name = TextOf(*child);
        } else if (Named(*child, "entry_id")) {
            entry->id = TextOf(*child);
        } else if (Named(*child, "entry_type")) {
            entry->type = TextOf(*child);
        } else if (Named(*child, "replace_url")) {
            entry->url = ReplaceUrl(TextOf(*child));
        } else if (Named(*child, "dir")) {
            ReadDir(*child, *entry);
        } else if (Named(*child, "song")) {
            auto song = std::make_unique<SongInfo>();
            ParseSongInfo(*child, *song);
            song->name = entry->name;
            song->id = entry->id;
            song->type = "song";
            return song;
        }
    }
    return entry;
}

void SetTotal(const XMLElement* browse, BrowseEntryList& list) {
    const XMLElement* offsets = browse ? browse->FirstChildElement("offsets") : nullptr;
    const XMLElement* last = offsets ? offsets->FirstChildElement("last") : nullptr;
    if (last) {
        list.SetTotalCount(static_cast<unsigned long>(CascadeDecimal::ParseCount(TextOf(*last)) + 1));
    } else {
        list.SetTotalCount(list.GetNumEntries());
    }
}

}  // namespace

void ParseSongInfo(const XMLElement& song, SongInfo& info) {
    for (const XMLElement* child = song.FirstChildElement(); child; child = child->NextSiblingElement()) {
        const std::string_view text = TextOf(*child);
        if (Named(*child, "coverart")) {
            info.coverPath = text.starts_with('/') ? text.substr(1) : text;
        } else if (Named(*child, "seconds_elapsed")) {
            info.secondsElapsed = static_cast<uint16_t>(CascadeDecimal::ParseCount(text));
        } else if (Named(*child, "seconds_total")) {
            info.secondsTotal = static_cast<uint16_t>(CascadeDecimal::ParseCount(text));
        } else {
            for (const SongElement& known : kSongElements) {
                if (Named(*child, known.name)) {
                    info.*known.field = text;
                    break;
                }
            }
        }
    }
}

void ParseEntries(const tinyxml2::XMLDocument& document, BrowseEntryList& list) {
    const XMLElement* browse = Browse(document);
    if (browse) {
        for (const XMLElement* e = browse->FirstChildElement("browse_entry"); e; e = e->NextSiblingElement("browse_entry"))
            list.AddEntry(ReadEntry(*e));
    }
    SetTotal(browse, list);
}

CascadeString ParseLocation(const tinyxml2::XMLDocument& document) {
    CascadeString location;
    const XMLElement* browse = Browse(document);
    const XMLElement* where = browse ? browse->FirstChildElement("location") : nullptr;
    if (!where) return location;
    for (const XMLElement* l = where->FirstChildElement("locator"); l; l = l->NextSiblingElement("locator")) {
        const XMLElement* name = l->FirstChildElement("locator_name");
        if (!name) continue;
        if (!location.IsEmpty()) location += " / ";
        location += TextOf(*name);
    }
    return location;
}

void ParseArtwork(const tinyxml2::XMLDocument& document, unsigned long count, const CascadeString& base,
                  BrowseEntryList& list) {
    const XMLElement* browse = Browse(document);
    for (const XMLElement* e = browse ? browse->FirstChildElement("browse_entry") : nullptr; e;
         e = e->NextSiblingElement("browse_entry")) {
        auto entry = std::make_unique<BrowseEntry>();
        if (list.GetNumEntries() <= count) {
            for (const XMLElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
                if (Named(*c, "entry_name")) entry->name = TextOf(*c);
                if (Named(*c, "entry_id")) entry->id = TextOf(*c);
                if (Named(*c, "entry_type")) entry->type = TextOf(*c);
                if (Named(*c, "coverart")) entry->url = base + TextOf(*c);
            }
        }
        list.AddEntry(std::move(entry));
    }
    SetTotal(browse, list);
}

}  // namespace XmlBrowsePage

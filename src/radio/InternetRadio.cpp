#include "radio/InternetRadio.h"

#include "app/base/AppLog.h"
#include "radio/FeedDocument.h"
#include "server/ETokenArray.h"
#include "server/EUtils.h"

#include <array>
#include <string>

namespace {

using Directory = RadioDirectories::Directory;
using tinyxml2::XMLElement;

constexpr const char* kShoutcastGenrePath = "/sbin/newxml.phtml";
constexpr const char* kShoutcastStationPath = "/sbin/newxml.phtml?genre=";
constexpr const char* kShoutcastTuneInPath = "/sbin/tunein-station.pls?id=";
constexpr const char* kSteamcastPath = "/sbin/rsms_feed.xml?t=a&o=n";
constexpr const char* kXiphPath = "/yp.xml";
constexpr const char* kPicksPath = "/picks/radio.opml";
constexpr const char* kArchivePath = "/lma/artists.opml";
constexpr const char* kMostPopular = "Most Popular";

constexpr const char* kRadioIOChannels =
    "radioio70s;radioio70sPop;radioio80s;radioio80sPop;radioio90s;radioioAcoustic;radioioAmbient;radioioBeat;"
    "radioioClassical;radioioCountry;radioioDead;radioioEclectic;radioioEdge;radioioHistory;radioioJam;"
    "radioioJazz;radioioShuffle;radioioOne;radioioPop;radioioRock;radioioWorld";

struct PodcastDirectory {
    const char* title;  // a leading "@" stands for the PodcastAlley address and a blank
    Directory directory;
    const char* path;
};

constexpr std::array kPodcastDirectories{
    PodcastDirectory{"PodNova Directory", Directory::PodNova, "/xml_podnova.opml"},
    PodcastDirectory{"Digital Podcast Directory", Directory::DigitalPodcast, "/opml/digitalpodcast.opml"},
    PodcastDirectory{"Digital Podcast 50 Newest Podcasts", Directory::DigitalPodcast, "/opml/digitalpodcastnew.opml"},
    PodcastDirectory{"Digital Podcast 50 Top Rated Podcasts", Directory::DigitalPodcast,
                     "/opml/digitalpodcasttoprated.opml"},
    PodcastDirectory{"Digital Podcast 50 Most Visited Podcasts", Directory::DigitalPodcast,
                     "/opml/digitalpodcastmostviewed.opml"},
    PodcastDirectory{"Digital Podcast 50 Most Subscribed Podcasts", Directory::DigitalPodcast,
                     "/opml/digitalpodcastmostsubscribed.opml"},
    PodcastDirectory{"@Top 50 Podcasts", Directory::PodcastAlley, "/PodcastAlleyTop50.opml"},
    PodcastDirectory{"@10 Newest Podcasts", Directory::PodcastAlley, "/PodcastAlley10Newest.opml"},
    PodcastDirectory{"Libsyn Podcast Directory", Directory::Libsyn, "/directory/libsyn.opml"},
};

std::unique_ptr<BrowseEntry> Entry(std::string_view name, std::string_view id, std::string_view type,
                                   std::string_view url) {
    auto entry = std::make_unique<BrowseEntry>();
    entry->name = name;
    entry->id = id;
    entry->type = type;
    entry->url = url;
    return entry;
}

const XMLElement* RootNamed(const tinyxml2::XMLDocument& document, const char* name) {
    const XMLElement* root = document.RootElement();
    return root && FeedDocument::Named(*root, name) ? root : nullptr;
}

std::string AttributeText(const XMLElement& element, const char* name) {
    const char* value = FeedDocument::AttributeIgnoringCase(element, name);
    std::string_view text = value ? value : "";
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return std::string(text);
}

}  // namespace

InternetRadio::InternetRadio() : InternetRadio(Options{}) {}

InternetRadio::InternetRadio(Options options)
    : m_directories(std::move(options.directories)),
      m_fetch(options.limits),
      m_favoritesFile(std::move(options.favoritesPath)) {}

InternetRadio::~InternetRadio() {
    if (m_favorites && m_favoritesModified && !SaveFavorites())
        AppLog::WriteToLog("radio: the changed Favorites could not be saved at exit\n", true);
}

bool InternetRadio::ParseShoutcastGenres(std::string_view bytes, BrowseEntryList& list) {
    tinyxml2::XMLDocument document;
    if (FeedDocument::Parse(bytes, document, "Shoutcast genre list") == FeedDocument::ParseResult::Failed) return false;
    const XMLElement* root = RootNamed(document, "genrelist");
    if (!root) return false;
    list.AddEntry(Entry(kMostPopular, kMostPopular, "shoutcast", ""));
    for (const XMLElement* genre = root->FirstChildElement(); genre; genre = genre->NextSiblingElement()) {
        if (!FeedDocument::Named(*genre, "genre")) continue;
        const std::string name = AttributeText(*genre, "name");
        list.AddEntry(Entry(name, name, "shoutcast", ""));
    }
    return true;
}

bool InternetRadio::ParseShoutcastStations(std::string_view bytes, const RadioDirectories& directories,
                                           BrowseEntryList& list) {
    tinyxml2::XMLDocument document;
    if (FeedDocument::Parse(bytes, document, "Shoutcast station list") == FeedDocument::ParseResult::Failed)
        return false;
    const XMLElement* root = RootNamed(document, "stationlist");
    if (!root) return false;
    for (const XMLElement* station = root->FirstChildElement(); station; station = station->NextSiblingElement()) {
        if (!FeedDocument::Named(*station, "station")) continue;
        const std::string id = AttributeText(*station, "id");
        // Without an id there is no playlist to ask for; the row stays, unplayable.
        const CascadeString url =
            id.empty() ? CascadeString() : directories.Url(Directory::Shoutcast, kShoutcastTuneInPath + id);
        list.AddEntry(Entry(AttributeText(*station, "name"), url.View(), "", url.View()));
    }
    return true;
}

bool InternetRadio::GetShoutcastGenres(BrowseEntryList& list) {
    const CascadeString url = m_directories.Url(Directory::Shoutcast, kShoutcastGenrePath);
    AppLog::WriteToLog("Getting IRadio XML string: %s\n", false, url.c_str());
    std::string body;
    return m_fetch.Fetch(url.c_str(), body) && ParseShoutcastGenres(body, list);
}

bool InternetRadio::GetShoutcastStations(BrowseEntryList& list, const char* genre) {
    CascadeString wanted = genre ? genre : "";
    if (wanted.Compare(kMostPopular, CascadeCase::Insensitive) == 0) wanted = "Top500";
    // Blanks and "&" cannot travel raw in a query; the server decodes them.
    CascadeString escaped;
    EUtils::UrlEncode(wanted.View(), escaped);
    const CascadeString url = m_directories.Url(Directory::Shoutcast, kShoutcastStationPath + escaped.Std());
    AppLog::WriteToLog("Getting IRadio XML string: %s\n", false, url.c_str());
    std::string body;
    return m_fetch.Fetch(url.c_str(), body) && ParseShoutcastStations(body, m_directories, list);
}

bool InternetRadio::LoadDirectory(std::unique_ptr<StationDirectory>& kept, StationDirectory::Format format,
                                  Directory directory, const char* path) {
    if (kept) return true;
    const CascadeString url = m_directories.Url(directory, path);
    AppLog::WriteToLog("Getting IRadio XML string: %s\n", false, url.c_str());
    std::string body;
    if (!m_fetch.Fetch(url.c_str(), body)) return false;
    kept = StationDirectory::Parse(body, format, m_genres, url.View());
    return kept != nullptr;
}

bool InternetRadio::GetSteamcastStations() {
    return LoadDirectory(m_steamcast, StationDirectory::Format::Steamcast, Directory::Steamcast, kSteamcastPath);
}

bool InternetRadio::GetSteamcastGenres(BrowseEntryList& list) {
    if (!GetSteamcastStations()) return false;
    m_steamcast->AddGenres(list, "steamcast");
    return true;
}

bool InternetRadio::GetSteamcastStations(BrowseEntryList& list, const char* genre) {
    if (!GetSteamcastStations()) return false;
    m_steamcast->AddStations(list, genre);
    return true;
}

bool InternetRadio::GetXiphStations() {
    return LoadDirectory(m_xiph, StationDirectory::Format::Xiph, Directory::Xiph, kXiphPath);
}

bool InternetRadio::GetXiphGenres(BrowseEntryList& list) {
    if (!GetXiphStations()) return false;
    m_xiph->AddGenres(list, "xiph");
    return true;
}

bool InternetRadio::GetXiphStations(BrowseEntryList& list, const char* genre) {
    if (!GetXiphStations()) return false;
    m_xiph->AddStations(list, genre);
    return true;
}

void InternetRadio::GetRadioIOStations(BrowseEntryList& list) const {
    const ETokenArray channels(kRadioIOChannels, ";", CascadeCase::Sensitive);
    for (std::size_t i = 0; i < channels.GetNumTokens(); ++i) {
        const std::string channel = channels.TokenAt(i);
        const CascadeString url = m_directories.Url(Directory::RadioIO, "/" + channel + "/A1hi.m3u");
        list.AddEntry(Entry(channel, url.View(), "", url.View()));
    }
}

OPMLNode* InternetRadio::KeptTree(std::unique_ptr<OPMLNode>& kept, Directory directory, const char* path) {
    if (!kept) {
        const CascadeString url = m_directories.Url(directory, path);
        kept = std::make_unique<OPMLNode>(url.c_str(), OPMLNode::Source::Url, &m_fetch);
    }
    return kept.get();
}

OPMLNode* InternetRadio::GetSlimPicks() {
    return KeptTree(m_picks, Directory::Picks, kPicksPath);
}

OPMLNode* InternetRadio::GetLiveMusicArchive() {
    return KeptTree(m_archive, Directory::LiveMusicArchive, kArchivePath);
}

OPMLNode* InternetRadio::GetPodcasts() {
    if (m_podcasts) return m_podcasts.get();
    m_podcasts = std::make_unique<OPMLNode>();
    m_podcasts->SetFetch(&m_fetch);
    for (const PodcastDirectory& podcast : kPodcastDirectories) {
        std::string title = podcast.title;
        if (title.front() == '@') title = std::string(RadioDirectories::kPodcastAlleyAddress) + " " + title.substr(1);
        OPMLNode child;
        child.text = title;
        child.url = m_directories.Url(podcast.directory, podcast.path);
        child.SetFetch(&m_fetch);
        m_podcasts->AddChildCopy(child);
    }
    return m_podcasts.get();
}

OPMLNode* InternetRadio::GetFavorites() {
    if (!m_favorites) {
        m_favorites = m_favoritesFile.Load(&m_fetch);
        AppLog::WriteToLog("OPMLNode children: %ld\n", false, long(m_favorites->ChildCount(OPMLNode::Load::Yes)));
    }
    return m_favorites.get();
}

bool InternetRadio::SaveFavorites() {
    if (!m_favoritesModified) return true;
    if (!m_favorites) GetFavorites();
    if (!m_favoritesFile.Save(*m_favorites)) return false;
    m_favoritesModified = false;
    return true;
}

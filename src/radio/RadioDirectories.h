#pragma once

#include "platform/CascadeString.h"

#include <string_view>

// The one table of internet-radio directory hosts. Each directory's URLs are
// its base (scheme, host and port) followed by the fixed path and query of
// the request. A base override (the environment variable
// QUENDREL_RADIO_BASE, for example "http://127.0.0.1:8123") replaces the
// base of every directory at once and keeps the paths, so tests point every
// directory at one local server. Immutable after construction; any thread.
class RadioDirectories {
public:
    enum class Directory {
        Shoutcast,
        Steamcast,
        Xiph,
        RadioIO,           // the RadioIO playlist host
        Picks,             // the server maker's radio picks
        LiveMusicArchive,  // an HTTP server on port 8080
        PodNova,
        DigitalPodcast,
        PodcastAlley,
        Libsyn,
    };

    static constexpr const char* kBaseVariable = "QUENDREL_RADIO_BASE";

    // The real directories' bases, or `baseOverride` for all of them when it
    // is not empty. A trailing "/" of the override is dropped; an override
    // that is not an http:// or https:// address is ignored with a log line.
    explicit RadioDirectories(std::string_view baseOverride = {});
    // The table with QUENDREL_RADIO_BASE read from the environment.
    static RadioDirectories FromEnvironment();

    // The base of `directory`: "http://host[:port]", no trailing "/".
    CascadeString Base(Directory directory) const;
    // Base(directory) + `pathAndQuery` (which starts with "/").
    CascadeString Url(Directory directory, std::string_view pathAndQuery) const;
    // The web address shown in front of the PodcastAlley titles.
    static constexpr const char* kPodcastAlleyAddress = "www.podcastalley.com";

private:
    CascadeString m_override;
};

#include "radio/RadioDirectories.h"

#include "app/base/AppLog.h"

#include <array>
#include <cstdlib>
#include <string>

namespace {

struct DirectoryHost {
    RadioDirectories::Directory directory;
    const char* base;
};

constexpr std::array kHosts{
    DirectoryHost{RadioDirectories::Directory::Shoutcast, "http://www.shoutcast.com"},
    DirectoryHost{RadioDirectories::Directory::Steamcast, "http://www.steamcast.com"},
    DirectoryHost{RadioDirectories::Directory::Xiph, "http://dir.xiph.org"},
    DirectoryHost{RadioDirectories::Directory::RadioIO, "http://www.radioio.com"},
    DirectoryHost{RadioDirectories::Directory::Picks, "http://www.slimdevices.com"},
    DirectoryHost{RadioDirectories::Directory::LiveMusicArchive, "http://content.us.squeezenetwork.com:8080"},
    DirectoryHost{RadioDirectories::Directory::PodNova, "http://www.podnova.com"},
    DirectoryHost{RadioDirectories::Directory::DigitalPodcast, "http://www.digitalpodcast.com"},
    DirectoryHost{RadioDirectories::Directory::PodcastAlley, "http://www.podcastalley.com"},
    DirectoryHost{RadioDirectories::Directory::Libsyn, "http://www.libsyn.com"},
};

}  // namespace

RadioDirectories::RadioDirectories(std::string_view baseOverride) {
    while (!baseOverride.empty() && baseOverride.back() == '/') baseOverride.remove_suffix(1);
    if (baseOverride.empty()) return;
    if (!baseOverride.starts_with("http://") && !baseOverride.starts_with("https://")) {
        const std::string shown(baseOverride);
        AppLog::WriteToLog("radio: %s=\"%s\" is not an http:// address; the real directories are used\n", false,
                           kBaseVariable, shown.c_str());
        return;
    }
    m_override = CascadeString(baseOverride);
}

RadioDirectories RadioDirectories::FromEnvironment() {
    const char* value = std::getenv(kBaseVariable);
    return RadioDirectories(value ? std::string_view(value) : std::string_view());
}

CascadeString RadioDirectories::Base(Directory directory) const {
    if (!m_override.IsEmpty()) return m_override;
    for (const DirectoryHost& host : kHosts)
        if (host.directory == directory) return host.base;
    return {};
}

CascadeString RadioDirectories::Url(Directory directory, std::string_view pathAndQuery) const {
    return Base(directory) + pathAndQuery;
}

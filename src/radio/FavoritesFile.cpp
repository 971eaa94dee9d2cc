#include "radio/FavoritesFile.h"

#include "app/base/AppLog.h"
#include "app/base/AppSettings.h"
#include "radio/AtomicFile.h"
#include "radio/FeedDocument.h"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// Whether `bytes` is an OPML document, and whether it needed mending.
FeedDocument::ParseResult CheckOpml(const std::string& bytes, const std::string& path) {
    tinyxml2::XMLDocument document;
    const FeedDocument::ParseResult result = FeedDocument::Parse(bytes, document, path);
    if (result == FeedDocument::ParseResult::Failed) return result;
    if (!FeedDocument::Named(*document.RootElement(), "opml")) return FeedDocument::ParseResult::Failed;
    return result;
}

}  // namespace

FavoritesFile::FavoritesFile(CascadeString path) : m_path(path.IsEmpty() ? DefaultPath() : std::move(path)) {}

CascadeString FavoritesFile::DefaultPath() {
    return (g_dataPath.IsEmpty() ? g_appPath : g_dataPath) + kFileName;
}

std::string FavoritesFile::AsideName(const char* kind) const {
    const std::string stem = m_path.Std() + "." + kind + "-" + std::to_string((long long)std::time(nullptr));
    // An earlier copy from the same second is never replaced.
    std::string name = stem;
    for (int n = 2; ::access(name.c_str(), F_OK) == 0; ++n) name = stem + "-" + std::to_string(n);
    return name;
}

void FavoritesFile::KeepAside(const std::string& bytes, bool mended) {
    const std::string aside = AsideName(mended ? "mended" : "unreadable");
    const bool kept = mended ? AtomicFile::Write(aside, bytes) : ::rename(m_path.c_str(), aside.c_str()) == 0;
    if (!kept) {
        AppLog::WriteToLog("radio: Favorites file %s could not be kept aside (%s); it will not be overwritten\n", true,
                           m_path.c_str(), std::strerror(errno));
        m_saveBlocked = true;
        return;
    }
    m_keptAside = aside;
    AppLog::WriteToLog("radio: Favorites file %s %s; its content is kept as %s\n", true, m_path.c_str(),
                       mended ? "was damaged and read as far as possible" : "could not be read as OPML", aside.c_str());
}

std::unique_ptr<OPMLNode> FavoritesFile::Load(RadioFetch* fetch) {
    auto root = std::make_unique<OPMLNode>();
    root->SetFetch(fetch);
    m_keptAside = CascadeString();
    m_saveBlocked = false;
    std::string bytes;
    int error = 0;
    if (!AtomicFile::Read(m_path.Std(), bytes, error)) {
        if (error == ENOENT) return root;
        AppLog::WriteToLog("radio: cannot read the Favorites file %s: %s; it will not be overwritten\n", true,
                           m_path.c_str(), std::strerror(error));
        m_saveBlocked = true;
        return root;
    }
    const FeedDocument::ParseResult result = CheckOpml(bytes, m_path.Std());
    if (result == FeedDocument::ParseResult::Failed) {
        KeepAside(bytes, false);
        return root;
    }
    if (result == FeedDocument::ParseResult::Mended) {
        KeepAside(bytes, true);
        if (m_saveBlocked) return root;
    }
    root->ParseDocument(bytes, m_path.View());
    return root;
}

bool FavoritesFile::Save(const OPMLNode& root) {
    if (m_saveBlocked) {
        AppLog::WriteToLog("radio: Favorites not saved: %s is kept as it is\n", true, m_path.c_str());
        return false;
    }
    return root.SaveToFile(m_path.c_str());
}

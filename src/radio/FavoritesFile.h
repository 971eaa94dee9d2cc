#pragma once

#include "platform/CascadeString.h"
#include "radio/OPMLNode.h"

#include <memory>
#include <string>

class RadioFetch;

// The user's Favorites file: an OPML document read into a tree and written
// back atomically, so that nothing already saved is ever lost.
//   - A missing file gives an empty tree; the first save creates it.
//   - A file that does not parse as OPML is renamed aside
//     ("<path>.unreadable-<seconds since 1970>") and logged, so the next
//     save cannot overwrite it with an empty list.
//   - A file that parsed only after mending is copied aside
//     ("<path>.mended-<seconds>") before it is used.
//   - A file that exists but can neither be read nor moved aside blocks
//     every save, with a log line, rather than being replaced.
// Threads: one thread at a time (the radio browser's).
class FavoritesFile {
public:
    static constexpr const char* kFileName = "Favorites.xml";

    // `path` is where the file lives; DefaultPath() when empty.
    explicit FavoritesFile(CascadeString path = {});
    // "Favorites.xml" in the application directory (g_appPath).
    static CascadeString DefaultPath();

    // Reads the file into a new tree (never null). `fetch` is given to the
    // tree for loading its remote outlines later.
    std::unique_ptr<OPMLNode> Load(RadioFetch* fetch);
    // Writes the children of `root` as the Favorites file. False with a log
    // line when saving is blocked or the write fails; the file is then as
    // it was.
    [[nodiscard]] bool Save(const OPMLNode& root);

    const CascadeString& Path() const { return m_path; }
    // Where Load put a file it could not use, "" when it did not.
    const CascadeString& KeptAsidePath() const { return m_keptAside; }
    bool IsSaveBlocked() const { return m_saveBlocked; }

private:
    std::string AsideName(const char* kind) const;
    void KeepAside(const std::string& bytes, bool mended);

    CascadeString m_path;
    CascadeString m_keptAside;
    bool m_saveBlocked = false;
};

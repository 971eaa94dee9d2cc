#pragma once

#include <string>
#include <vector>

// Where Quendrel reads its own files and where it writes the user's.
//
// Run from a build tree (or any application directory holding images/), the
// application directory is both: the skins are read from it and debug.txt
// and Favorites.xml are written into it. Installed (the program sits in
// <prefix>/bin next to <prefix>/share/quendrel/images), the skins and the
// default key map come from <prefix>/share/quendrel/ and nothing there is
// ever written; the Favorites go to $XDG_DATA_HOME/quendrel/ and the debug
// log to $XDG_STATE_HOME/quendrel/, both made on first run. The stored
// settings live in $XDG_CONFIG_HOME in either case (CascadeSettings).
//
// Resolve is pure (tests feed it any layout); Prepare touches the disk.
// Both run on the UI thread during start-up, before other threads exist.
class AppPaths {
public:
    // What the process knows about itself. Paths without a trailing "/".
    struct Inputs {
        std::string workingDir;
        std::string programPath;  // the program file, symbolic links resolved
        std::string home;
        std::string xdgDataHome;   // empty when unset
        std::string xdgStateHome;  // empty when unset
        std::string xdgConfigHome;  // empty when unset

        static Inputs FromProcess(const char* argv0);
    };

    std::string appPath;   // read-only files (images/, keymap.conf); ends with "/"
    std::string dataPath;  // Favorites.xml; ends with "/"
    std::string logFile;   // the "-debug" log
    // The key maps read over the built-in one: the installed (or build's)
    // keymap.conf, then the user's own copy in the XDG config directory.
    std::vector<std::string> keyMapFiles;
    std::string oldAppPath;  // installed: an old application directory whose files move over ("" if none)
    bool installed = false;

    static AppPaths Resolve(const Inputs& in);
    // Makes the writable directories (mode 0700) and moves the Favorites of
    // an old application directory into the data directory when the data
    // directory has none yet. Returns the log lines to write (each ends in
    // "\n"); failures are reported there and never stop start-up.
    std::vector<std::string> Prepare() const;
    // Sets g_appPath, g_dataPath and g_logFile.
    void ApplyToSettings() const;

private:
    static AppPaths ResolveDirectories(const Inputs& in);
};

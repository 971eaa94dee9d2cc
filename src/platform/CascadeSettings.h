#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/CascadeString.h"

// Persistent strings of one application, kept in
// ${XDG_CONFIG_HOME:-$HOME/.config}/<name>.conf as one "key=value" a line
// (a backslash, line feed or carriage return in a value is written as "\\",
// "\n" or "\r"). Every read looks at the file, so a second instance sees the
// first one's writes. A write replaces the file as a whole through a
// temporary file and a rename: a crash leaves either the old or the new file.
//
// Threads: an instance is used by one thread at a time. Two processes writing
// the same file at once may lose one of the writes, never the file.
class CascadeSettings {
public:
    // Settings `name` (for example "Tovrallisk.Quendrel") in the user's
    // configuration directory. A name with a "/" or an unknown home
    // directory leaves the store unusable (logged; reads and writes fail).
    explicit CascadeSettings(const char* name);
    // The same in `directory` instead of the user's configuration directory.
    CascadeSettings(const char* name, const char* directory);

    // Copies the value of `key` into `value`. False (value untouched) when the
    // key or the file is missing or unreadable.
    [[nodiscard]] bool ReadStringValue(const char* key, CascadeString& value) const;

    // Stores `value` under `key`, creating the directory and file when needed.
    // False with a log line when the key is empty or holds "=", a line feed or
    // a carriage return, or when the file cannot be written.
    [[nodiscard]] bool WriteStringValue(const char* key, const char* value);

    // The file the settings live in; "" when the store is unusable.
    const std::string& GetPath() const { return m_path; }

private:
    using Entries = std::vector<std::pair<std::string, std::string>>;

    void SetPath(const char* name, const std::string& directory);
    // All entries of the file in file order; false when the file is missing.
    [[nodiscard]] bool Load(Entries& entries) const;
    [[nodiscard]] bool Store(const Entries& entries) const;

    std::string m_directory;
    std::string m_path;
};

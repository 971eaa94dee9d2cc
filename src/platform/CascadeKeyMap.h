#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Which key of the keyboard, the media keys or a remote control gives which
// of the application's key codes. Keys are named as their source reports
// them: SDL's key names for the keyboard and the media keys ("Return",
// "AudioPlay"; "Shift+=" for the key with Shift held), lircd's button names
// for LIRC remotes ("KEY_OK"). Names are compared without regard to case.
//
// A map starts with the built-in defaults (the same text as the installed
// keymap.conf); files read over it replace the mapping of each key they
// name and leave the others. A line with an error is reported and skipped.
//
// Not locked: build it on one thread before handing it to readers, which
// then only call the const methods.
class CascadeKeyMap {
public:
    // The built-in defaults.
    CascadeKeyMap();

    // One line of a file: "<key as reported> = <application key>" where the
    // application key is a name or code CascadeKeys::Parse knows, or
    // "none"; blank lines and lines starting with "#" are skipped. Each bad
    // line adds one message "<source>:<line>: <what is wrong>" to `problems`.
    void Read(std::string_view text, std::string_view source, std::vector<std::string>& problems);
    // Reads a file. False when it cannot be read (a missing file is not an
    // error: `problems` is left alone then and false returned).
    bool ReadFile(const std::string& path, std::vector<std::string>& problems);

    // The application key for a reported key; nullopt when unmapped. With
    // `shift`, "Shift+<name>" is looked for first, then the name alone.
    std::optional<unsigned long> Lookup(std::string_view name, bool shift = false) const;

    // Whether a held key's repeats are passed on: the arrows and the
    // volume steps; every other key acts once per press.
    static bool Repeats(unsigned long key);

    // The text of the default key map.
    static std::string_view DefaultText();

    std::size_t GetSize() const { return m_keys.size(); }

private:
    static std::string Normalised(std::string_view name);

    std::unordered_map<std::string, unsigned long> m_keys;  // lower-case name -> key; 0 = unmapped
};

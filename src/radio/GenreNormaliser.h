#pragma once

#include "platform/CascadeString.h"
#include "server/ETokenArray.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The fixed genre vocabulary of the radio directories and the rules that map
// a directory's free-text genre onto it: the 155-word master genre list
// (alphabetical ignoring case, searched by binary search) and the 60-row
// substitution table of aliases. Built once by the constructor and only read
// afterwards, so any number of threads may call the const operations.
class GenreNormaliser {
public:
    static constexpr const char* kMiscGenre = "Misc Genre";

    // One row of the substitution table: the master spelling ("_" for a
    // blank) and its aliases.
    struct SubstituteGenre {
        CascadeString genre;
        std::unique_ptr<ETokenArray> aliases;
    };

    GenreNormaliser();

    // The normalised genres of one station's genre text, in order, repeats
    // kept: "-", "=", "/" and "," become blanks, "!", ".", "(", ")" and "'"
    // are removed, the text is cut at blanks, and each word becomes its
    // master genre, the genre of the first substitution row that lists it,
    // or "Misc Genre". Empty text (or text made only of removed characters)
    // gives none.
    std::vector<std::string> Normalise(std::string_view genreText) const;

    // The normalised genre of one word (no blanks in it).
    std::string NormaliseWord(std::string_view word) const;

    const ETokenArray& MasterGenres() const { return m_masterGenres; }
    const std::vector<SubstituteGenre>& SubstituteGenres() const { return m_substitutes; }

private:
    ETokenArray m_masterGenres;
    std::vector<SubstituteGenre> m_substitutes;
    // Each alias, lower-cased, to the displayed genre of the first row that
    // lists it: the same answer as walking the table in order, in one probe.
    std::unordered_map<std::string, std::string> m_aliasGenres;
};

#include "radio/GenreNormaliser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

TEST(GenreNormaliser, MapsFreeTextOntoTheMasterGenres) {
    const GenreNormaliser normaliser;
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        // The first master word; an alias of its row; an apostrophe removed.
        {"50s", {"50s"}}, {"1950", {"50s"}}, {"50's", {"50s"}}, {"Hip-Hop", {"Rap", "Misc Genre"}}, {"R&B", {"R & B"}},
        {"Drum and bass", {"Drum & Bass", "Misc Genre", "Drum & Bass"}},
        {"Rock / Pop-Punk", {"Rock", "Pop", "Punk"}},
        // The last master word, and master spelling whatever the case.
        {"zouk", {"Zouk"}}, {"top_40", {"Top 40"}},
        // A master word wins over an alias ("dancehall" is also listed under Reggae).
        {"dancehall", {"Dancehall"}},
        // The table's own misspellings are matched as stored.
        {"ecclectic carribean progessive", {"Various", "Caribbean", "Progressive"}},
        // Only removed characters, or nothing: no genre at all.
        {"", {}}, {"  !!. ()'  ", {}},
        // Real feeds: double blanks, tabs, non-ASCII text.
        {"METAL   DEATHMETAL  ", {"Metal", "Misc Genre"}}, {"Rock\tPop\n", {"Rock", "Pop"}},
        {"M\xC3\xBAsica Espa\xC3\xB1ola", {"Misc Genre", "Misc Genre"}}};
    for (const auto& [text, genres] : cases) EXPECT_EQ(genres, normaliser.Normalise(text)) << "genre text: " << text;
}

// The master list is searched by binary search: a word out of order would
// no longer be found.
TEST(GenreNormaliser, EveryMasterWordIsFound) {
    const GenreNormaliser normaliser;
    const ETokenArray& master = normaliser.MasterGenres();
    for (std::size_t i = 0; i < master.GetNumTokens(); ++i) {
        std::string shown = master.TokenAt(i);
        std::replace(shown.begin(), shown.end(), '_', ' ');
        EXPECT_EQ(shown, normaliser.NormaliseWord(master.TokenAt(i))) << "master word " << i;
    }
}

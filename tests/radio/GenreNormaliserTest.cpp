#include "radio/GenreNormaliser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Genres = std::vector<std::string>;

struct NormaliseCase {
    const char* text;
    Genres genres;
};

class GenreNormalisation : public ::testing::TestWithParam<NormaliseCase> {
protected:
    static const GenreNormaliser& Normaliser() {
        static const GenreNormaliser normaliser;
        return normaliser;
    }
};

TEST_P(GenreNormalisation, MapsFreeTextOntoTheMasterGenres) {
    EXPECT_EQ(GetParam().genres, Normaliser().Normalise(GetParam().text)) << "genre text: " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    DirectoryGenres, GenreNormalisation,
    ::testing::Values(
        // The first master word; an alias of its row; an apostrophe removed.
        NormaliseCase{"50s", {"50s"}}, NormaliseCase{"1950", {"50s"}}, NormaliseCase{"50's", {"50s"}},
        NormaliseCase{"Hip-Hop", {"Rap", "Misc Genre"}}, NormaliseCase{"R&B", {"R & B"}},
        NormaliseCase{"Drum and bass", {"Drum & Bass", "Misc Genre", "Drum & Bass"}},
        NormaliseCase{"Rock / Pop-Punk", {"Rock", "Pop", "Punk"}},
        // The last master word, and master spelling whatever the case.
        NormaliseCase{"zouk", {"Zouk"}}, NormaliseCase{"ROCK", {"Rock"}}, NormaliseCase{"top_40", {"Top 40"}},
        // A master word wins over an alias of a later row ("dancehall" is
        // also listed under Reggae, "africa" under African).
        NormaliseCase{"dancehall", {"Dancehall"}}, NormaliseCase{"Africa", {"Africa"}},
        // The table's own misspellings are matched as stored.
        NormaliseCase{"ecclectic carribean progessive", {"Various", "Caribbean", "Progressive"}},
        // Words with "_" or "&amp;" never come out of blank-split text.
        NormaliseCase{"drum_n_bass", {"Drum & Bass"}}, NormaliseCase{"info&music", {"Information"}},
        // Only removed characters, or nothing: no genre at all.
        NormaliseCase{"", {}}, NormaliseCase{"  !!. ()'  ", {}}, NormaliseCase{"-/,=", {}},
        // Real feeds: genres cut at 25 characters, double blanks, tabs.
        NormaliseCase{"Alternative Rock Top 40 P", {"Alternative", "Rock", "Misc Genre", "Misc Genre", "Misc Genre"}},
        NormaliseCase{" 80s Pop Rock Funk", {"80s", "Pop", "Rock", "Funk"}},
        NormaliseCase{"METAL   DEATHMETAL  ", {"Metal", "Misc Genre"}}, NormaliseCase{"Rock\tPop\n", {"Rock", "Pop"}},
        NormaliseCase{"irc://irc.eu.efnet.info/radiocharaz", {"Misc Genre", "Misc Genre", "Misc Genre"}},
        // Non-ASCII text is no genre but must survive.
        NormaliseCase{"M\xC3\xBAsica Espa\xC3\xB1ola", {"Misc Genre", "Misc Genre"}}));

TEST(GenreTables, EveryMasterWordIsFoundByTheBinarySearch) {
    const GenreNormaliser normaliser;
    const ETokenArray& master = normaliser.MasterGenres();
    ASSERT_EQ(155u, master.GetNumTokens());
    for (std::size_t i = 0; i < master.GetNumTokens(); ++i) {
        std::string shown = master.TokenAt(i);
        for (char& c : shown)
            if (c == '_') c = ' ';
        EXPECT_EQ(shown, normaliser.NormaliseWord(master.TokenAt(i))) << "master word " << i;
    }
}

TEST(GenreTables, TheSubstitutionTableHasItsSixtyRowsInOrder) {
    const GenreNormaliser normaliser;
    const auto& rows = normaliser.SubstituteGenres();
    ASSERT_EQ(60u, rows.size());
    EXPECT_EQ("50s", rows.front().genre);
    EXPECT_EQ("Youth", rows.back().genre);
    EXPECT_EQ(12u, rows[15].aliases->GetNumTokens());  // Drum_&_Bass
    EXPECT_STREQ("d&amp;b", rows[15].aliases->TokenAt(3));
    EXPECT_EQ(19u, rows[56].aliases->GetNumTokens());  // Various
}

TEST(GenreTables, AnAliasGivesTheFirstRowListingIt) {
    const GenreNormaliser normaliser;
    // Every alias that is no master word resolves to the first row that lists it.
    for (const auto& row : normaliser.SubstituteGenres()) {
        std::string shown = row.genre.Std();
        for (char& c : shown)
            if (c == '_') c = ' ';
        for (std::size_t a = 0; a < row.aliases->GetNumTokens(); ++a) {
            const char* alias = row.aliases->TokenAt(a);
            if (normaliser.MasterGenres().Contains(alias, CascadeCase::Insensitive, ETokenArray::Order::Sorted) >= 0)
                continue;
            const std::string got = normaliser.NormaliseWord(alias);
            if (got != shown) {
                // Only an earlier row may take it.
                bool earlier = false;
                for (const auto& other : normaliser.SubstituteGenres()) {
                    if (&other == &row) break;
                    earlier |=
                        other.aliases->Contains(alias, CascadeCase::Insensitive, ETokenArray::Order::Unsorted) >= 0;
                }
                EXPECT_TRUE(earlier) << alias << " gave " << got;
            }
        }
    }
}

}  // namespace

#include "server/LetterSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Direction = SlimConnection::Direction;

void Fill(BrowseEntryList& list, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        auto entry = std::make_unique<BrowseEntry>();
        entry->name = name;
        list.AddEntry(std::move(entry));
    }
}

int MatchOn(const std::vector<std::string>& names, char letter, long& index, const ETokenArray* ignores = nullptr) {
    BrowseEntryList page;
    Fill(page, names);
    return LetterSearch::Match(page, letter, ignores, index);
}

// A server list of `size` names where the names from `first` to `last` start
// with "b" and the others with "a" before and "c" after; it records which
// pages were fetched.
struct FakeList {
    long size, first, last;
    std::vector<long> fetched;
    LetterSearch::FetchPage Fetch() {
        return [this](long pos, unsigned short count, BrowseEntryList& page) {
            fetched.push_back(pos);
            for (long i = pos; i < pos + count && i < size; ++i) {
                auto entry = std::make_unique<BrowseEntry>();
                entry->name = i < first ? "apple" : i <= last ? "banana" : "cherry";
                page.AddEntry(std::move(entry));
            }
            page.SetTotalCount(static_cast<unsigned long>(size));
        };
    }
};

TEST(LetterSearchPage, BeforeInsideAndAfterThePage) {
    long index = -7;
    EXPECT_EQ(1, MatchOn({"apple", "cherry"}, 'b', index));
    EXPECT_EQ(-1, MatchOn({"delta", "echo"}, 'b', index));
    EXPECT_EQ(0, MatchOn({"Banana"}, 'b', index));
    EXPECT_EQ(0, index);
    EXPECT_EQ(0, MatchOn({"apple", "Berry"}, 'B', index));
    EXPECT_EQ(1, index);
    EXPECT_EQ(1, MatchOn({}, 'b', index));
}

TEST(LetterSearchPage, IgnoredArticlesAreSkippedOnlyWithTheirSpace) {
    const ETokenArray articles("The%20Los", "%20", CascadeCase::Sensitive);
    long index = -1;
    EXPECT_EQ(0, MatchOn({"The Beatles"}, 'b', index, &articles));
    EXPECT_EQ(0, MatchOn({"Los Lobos"}, 'l', index, &articles));
    EXPECT_EQ(0, MatchOn({"the beatles"}, 'b', index, &articles));
    EXPECT_EQ(0, MatchOn({"Theatre"}, 't', index, &articles));
    EXPECT_EQ(-1, MatchOn({"The Beatles"}, 'b', index, nullptr));
}

TEST(LetterSearchPage, NonLettersAndEmptyNamesDoNotCrash) {
    long index = -1;
    EXPECT_EQ(0, MatchOn({"", "1999"}, '1', index));
    EXPECT_EQ(1, index);
    EXPECT_EQ(1, MatchOn({"\xC3\x89lectronique"}, 'e', index));
}

// Forward walks pages until the first hit or the list's end; backward
// returns the earliest hit of the run and stops on a page before the letter.
TEST(LetterSearchPages, PagesAreWalkedUntilTheHitOrTheEnd) {
    const struct {
        FakeList list;
        long start;
        Direction direction;
        long found;
        std::vector<long> fetched;
    } cases[] = {
        {{300, 120, 130, {}}, 0, Direction::Forward, 120, {0, 50, 100}},
        {{120, 500, 600, {}}, 0, Direction::Forward, -1, {0, 50, 100}},
        {{300, 40, 130, {}}, 100, Direction::Backward, 40, {100, 50, 0}},
        {{300, 200, 210, {}}, 0, Direction::Backward, -1, {0}},
        {{300, 60, 70, {}}, 150, Direction::Backward, 60, {150, 100, 50, 0}},
    };
    for (auto c : cases) {
        EXPECT_EQ(c.found, LetterSearch::Find(c.list.Fetch(), 'b', c.start, 50, c.direction, nullptr)) << c.list.first;
        EXPECT_EQ(c.fetched, c.list.fetched) << c.list.first;
    }
}

TEST(LetterSearchPages, NoReplyFindsNothingAndAZeroPageSizeFetchesNothing) {
    std::vector<long> fetched;
    const LetterSearch::FetchPage nothing = [&](long pos, unsigned short, BrowseEntryList&) { fetched.push_back(pos); };
    EXPECT_EQ(-1, LetterSearch::Find(nothing, 'b', 0, 50, Direction::Forward, nullptr));
    EXPECT_EQ(-1, LetterSearch::Find(nothing, 'b', 100, 50, Direction::Backward, nullptr));
    EXPECT_EQ(2u, fetched.size());
    EXPECT_EQ(-1, LetterSearch::Find(nothing, 'b', 0, 0, Direction::Forward, nullptr));
    EXPECT_EQ(2u, fetched.size());
}

}  // namespace

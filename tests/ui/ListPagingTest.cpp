#include "ui/ListPaging.h"

#include <gtest/gtest.h>

namespace {

// Page 0 (or less) is the last page and beyond the last is the first; an
// empty list has one page; no rows per page count as one.
TEST(ListPaging, PagesOfTheTotal) {
    const struct {
        unsigned long total, rows;
        long asked;
        unsigned long page, start, onPage;
        const char* label;
    } cases[] = {{100, 10, 10, 10, 90, 10, "Page 10 of 10"}, {100, 10, 0, 10, 90, 10, "Page 10 of 10"},
                 {100, 10, 11, 1, 0, 10, "Page 1 of 10"},    {101, 10, -1, 11, 100, 1, "Page 11 of 11"},
                 {9, 10, 2, 1, 0, 9, "Page 1 of 1"},         {0, 10, 0, 1, 0, 0, "Page 1 of 1"},
                 {5, 0, 3, 3, 2, 1, "Page 3 of 5"}};
    for (const auto& c : cases) {
        ListPaging paging(c.rows);
        paging.SetTotal(c.total);
        EXPECT_EQ(c.page, paging.SetPage(c.asked)) << c.label;
        EXPECT_EQ(c.start, paging.GetStartIndex()) << c.label;
        EXPECT_EQ(c.onPage, paging.GetRowsOnPage()) << c.label;
        EXPECT_EQ(c.label, paging.GetLabel());
    }
    ListPaging paging(10);
    EXPECT_EQ(1u, paging.SetPage(0));  // no total yet
    paging.SetTotal(25);
    EXPECT_EQ(2u, paging.NextPage());
    EXPECT_EQ(3u, paging.NextPage());
    EXPECT_EQ(1u, paging.NextPage());
    EXPECT_EQ(3u, paging.PreviousPage());
    EXPECT_EQ(2u, paging.PageOfIndex(10));
    EXPECT_EQ(1u, paging.PageOfIndex(9));
}

}  // namespace

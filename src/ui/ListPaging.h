#pragma once

#include "platform/CascadeString.h"

// The paging arithmetic every list screen shares, apart from drawing: a
// total, a number of rows per page and the current page (1-based).
//
// Page count = total / rows per page, plus one on a remainder. Asking for
// page 0 gives the last page; a page beyond the last (or any page while no
// total is known yet) gives page 1. The label reads "Page %i of %i", with a
// page count of at least 1. Row movement stays with each screen, whose
// rules differ. Not thread-safe: the owner keeps it under its window's lock.
class ListPaging {
public:
    explicit ListPaging(unsigned long rowsPerPage = 1);

    void SetRowsPerPage(unsigned long rows);  // 0 counts as 1
    unsigned long GetRowsPerPage() const { return m_rows; }
    // The list's total; marks the page count known.
    void SetTotal(unsigned long total);
    unsigned long GetTotal() const { return m_total; }
    bool HasTotal() const { return m_hasTotal; }
    // Forgets the total and goes back to page 1 (a new list).
    void Reset();

    unsigned long GetPageCount() const;
    // The page that asking for `page` loads, by the rule above.
    unsigned long Resolve(long page) const;
    // Resolves and stores `page`; returns the stored page.
    unsigned long SetPage(long page);
    unsigned long GetPage() const { return m_page; }
    // The index of the first entry of the current page (or of `page`).
    unsigned long GetStartIndex() const { return GetStartIndex(m_page); }
    unsigned long GetStartIndex(unsigned long page) const;
    // The page holding the absolute entry `index`.
    unsigned long PageOfIndex(unsigned long index) const;
    // Number of entries on the current page.
    unsigned long GetRowsOnPage() const;

    bool IsFirstPage() const { return m_page <= 1; }
    bool IsLastPage() const { return m_page >= GetPageCount(); }
    // Next and previous page by the page rule: past the last is page 1,
    // before the first is the last page. Return the new page.
    unsigned long NextPage() { return SetPage(long(m_page) + 1); }
    unsigned long PreviousPage() { return SetPage(long(m_page) - 1); }

    // "Page %i of %i".
    CascadeString GetLabel() const;

private:
    unsigned long m_rows;
    unsigned long m_total = 0;
    unsigned long m_page = 1;
    bool m_hasTotal = false;
};

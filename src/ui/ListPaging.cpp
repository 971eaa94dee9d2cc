#include "ui/ListPaging.h"

#include <algorithm>

ListPaging::ListPaging(unsigned long rowsPerPage) : m_rows(std::max(1ul, rowsPerPage)) {}

void ListPaging::SetRowsPerPage(unsigned long rows) { m_rows = std::max(1ul, rows); }

void ListPaging::SetTotal(unsigned long total) {
    m_total = total;
    m_hasTotal = true;
}

void ListPaging::Reset() {
    m_total = 0;
    m_hasTotal = false;
    m_page = 1;
}

unsigned long ListPaging::GetPageCount() const {
    const unsigned long pages = m_total / m_rows + (m_total % m_rows ? 1 : 0);
    return std::max(1ul, pages);
}

unsigned long ListPaging::Resolve(long page) const {
    if (!m_hasTotal) return 1;
    const unsigned long count = GetPageCount();
    if (page == 0) return count;
    if (page < 0) return count;  // before the first page: the last one
    if (static_cast<unsigned long>(page) > count) return 1;
    return static_cast<unsigned long>(page);
}

unsigned long ListPaging::SetPage(long page) {
    m_page = Resolve(page);
    return m_page;
}

unsigned long ListPaging::GetStartIndex(unsigned long page) const { return (std::max(1ul, page) - 1) * m_rows; }

unsigned long ListPaging::PageOfIndex(unsigned long index) const { return index / m_rows + 1; }

unsigned long ListPaging::GetRowsOnPage() const {
    const unsigned long start = GetStartIndex();
    if (start >= m_total) return 0;
    return std::min(m_rows, m_total - start);
}

CascadeString ListPaging::GetLabel() const {
    CascadeString label;
    label.Format("Page %lu of %lu", m_page, GetPageCount());
    return label;
}

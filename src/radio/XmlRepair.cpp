#include "radio/XmlRepair.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace XmlRepair {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_' || b == ':' || b >= 0x80;
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

std::size_t SkipSpace(std::string_view text, std::size_t i) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    return i;
}

std::size_t NameEnd(std::string_view text, std::size_t i) {
    while (i < text.size() && IsNameChar(text[i])) ++i;
    return i;
}

// The position just after the ">" that ends markup starting at `i`, with
// quoted strings skipped; npos when the text ends first.
std::size_t MarkupEnd(std::string_view text, std::size_t i) {
    char quote = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

// The end of a document type declaration starting at `i` ("<!DOCTYPE").
std::size_t DoctypeEnd(std::string_view text, std::size_t i) {
    char quote = 0;
    bool inSubset = false;
    for (i += 9; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            inSubset = true;
        } else if (c == ']') {
            inSubset = false;
        } else if (c == '>' && !inSubset) {
            return i + 1;
        }
    }
    return text.size();
}

// Whether an "&" at `i` starts a character or entity reference.
bool IsReference(std::string_view text, std::size_t i) {
    std::size_t j = i + 1;
    if (j < text.size() && text[j] == '#') {
        ++j;
        const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
        if (hex) ++j;
        const std::size_t digits = j;
        while (j < text.size() && (std::isxdigit(static_cast<unsigned char>(text[j])) != 0) &&
               (hex || (text[j] >= '0' && text[j] <= '9')))
            ++j;
        return j > digits && j < text.size() && text[j] == ';';
    }
    if (j >= text.size() || !IsNameStart(text[j])) return false;
    j = NameEnd(text, j);
    return j < text.size() && text[j] == ';';
}

class Balancer {
public:
    explicit Balancer(std::string_view text) : m_text(text) { m_out.reserve(text.size() + 64); }

    std::string Run(unsigned& repairs) {
        while (m_pos < m_text.size()) {
            if (m_text[m_pos] == '<')
                Markup();
            else
                Text();
        }
        for (auto it = m_open.rbegin(); it != m_open.rend(); ++it) CloseTag(*it);
        m_repairs += unsigned(m_open.size());
        repairs = m_repairs;
        return std::move(m_out);
    }

private:
    void Text() {
        const std::size_t next = std::min(m_text.find('<', m_pos), m_text.size());
        for (std::size_t i = m_pos; i < next; ++i) {
            if (m_text[i] == '&' && !IsReference(m_text, i)) {
                m_out += "&amp;";
                ++m_repairs;
            } else {
                m_out += m_text[i];
            }
        }
        m_pos = next;
    }

    // Copies markup that ends with `terminator`; a cut-off one is dropped.
    void CopyUntil(std::string_view terminator) {
        const std::size_t end = m_text.find(terminator, m_pos);
        if (end == std::string_view::npos) {
            ++m_repairs;
            m_pos = m_text.size();
            return;
        }
        const std::size_t stop = end + terminator.size();
        m_out.append(m_text.substr(m_pos, stop - m_pos));
        m_pos = stop;
    }

    void Markup() {
        const std::string_view rest = m_text.substr(m_pos);
        if (rest.starts_with("<!--")) return CopyUntil("-->");
        if (rest.starts_with("<![CDATA[")) return CopyUntil("]]>");
        if (rest.starts_with("<?")) return CopyUntil("?>");
        if (rest.starts_with("<!")) {
            // Declarations have no place inside a document being mended.
            ++m_repairs;
            m_pos = rest.starts_with("<!DOCTYPE") ? DoctypeEnd(m_text, m_pos) : MarkupEnd(m_text, m_pos);
            if (m_pos == std::string_view::npos) m_pos = m_text.size();
            return;
        }
        if (rest.starts_with("</")) return EndTag();
        if (rest.size() > 1 && IsNameStart(rest[1])) return StartTag();
        m_out += "&lt;";
        ++m_repairs;
        ++m_pos;
    }

    void EndTag() {
        const std::size_t end = MarkupEnd(m_text, m_pos);
        const std::size_t nameEnd = NameEnd(m_text, m_pos + 2);
        const std::string name(m_text.substr(m_pos + 2, nameEnd - m_pos - 2));
        m_pos = end == std::string_view::npos ? m_text.size() : end;
        const auto open = std::find(m_open.rbegin(), m_open.rend(), name);
        if (end == std::string_view::npos || name.empty() || open == m_open.rend()) {
            ++m_repairs;
            return;
        }
        const auto keep = std::size_t(m_open.rend() - open) - 1;
        m_repairs += unsigned(m_open.size() - keep - 1);
        while (m_open.size() > keep) {
            CloseTag(m_open.back());
            m_open.pop_back();
        }
    }

    void CloseTag(const std::string& name) {
        m_out += "</";
        m_out += name;
        m_out += '>';
    }

    void StartTag() {
        const std::size_t end = MarkupEnd(m_text, m_pos);
        if (end == std::string_view::npos) {
            ++m_repairs;
            m_pos = m_text.size();
            return;
        }
        const std::size_t nameEnd = NameEnd(m_text, m_pos + 1);
        std::string name(m_text.substr(m_pos + 1, nameEnd - m_pos - 1));
        std::string_view inside = m_text.substr(nameEnd, end - 1 - nameEnd);
        const bool empty = !inside.empty() && inside.back() == '/';
        if (empty) inside.remove_suffix(1);
        m_out += '<';
        m_out += name;
        Attributes(inside);
        m_out += empty ? "/>" : ">";
        if (!empty) m_open.push_back(std::move(name));
        m_pos = end;
    }

    void Attributes(std::string_view inside) {
        std::vector<std::string_view> seen;
        std::size_t i = 0;
        while ((i = SkipSpace(inside, i)) < inside.size()) {
            if (!IsNameStart(inside[i])) {
                ++m_repairs;
                ++i;
                continue;
            }
            const std::size_t nameEnd = NameEnd(inside, i);
            const std::string_view name = inside.substr(i, nameEnd - i);
            std::string_view value;
            i = SkipSpace(inside, nameEnd);
            if (i < inside.size() && inside[i] == '=') {
                i = SkipSpace(inside, i + 1);
                value = Value(inside, i);
            } else {
                ++m_repairs;
            }
            if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
                ++m_repairs;
                continue;
            }
            seen.push_back(name);
            WriteAttribute(name, value);
        }
    }

    // The value at `i` (quoted, or bare up to a blank); moves `i` past it.
    std::string_view Value(std::string_view inside, std::size_t& i) {
        if (i < inside.size() && (inside[i] == '"' || inside[i] == '\'')) {
            const std::size_t close = inside.find(inside[i], i + 1);
            const std::size_t stop = close == std::string_view::npos ? inside.size() : close;
            const std::string_view value = inside.substr(i + 1, stop - i - 1);
            if (close == std::string_view::npos) ++m_repairs;
            i = std::min(stop + 1, inside.size());
            return value;
        }
        const std::size_t start = i;
        while (i < inside.size() && !IsSpace(inside[i])) ++i;
        ++m_repairs;
        return inside.substr(start, i - start);
    }

    void WriteAttribute(std::string_view name, std::string_view value) {
        m_out += ' ';
        m_out += name;
        m_out += "=\"";
        for (std::size_t k = 0; k < value.size(); ++k) {
            const char c = value[k];
            if (c == '"')
                m_out += "&quot;";
            else if (c == '<')
                m_out += "&lt;";
            else if (c == '&' && !IsReference(value, k))
                m_out += "&amp;";
            else
                m_out += c;
        }
        m_out += '"';
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_out;
    std::vector<std::string> m_open;
    unsigned m_repairs = 0;
};

// The position of the first element's "<", npos when there is none.
std::size_t FirstElement(std::string_view text) {
    std::size_t i = 0;
    while ((i = text.find('<', i)) != std::string_view::npos) {
        if (i + 1 < text.size() && IsNameStart(text[i + 1])) return i;
        ++i;
    }
    return i;
}

}  // namespace

std::string StripDoctype(std::string_view text) {
    const std::size_t doctype = text.find("<!DOCTYPE");
    if (doctype == std::string_view::npos || doctype > FirstElement(text)) return std::string(text);
    std::string out(text.substr(0, doctype));
    out.append(text.substr(DoctypeEnd(text, doctype)));
    return out;
}

std::string Balance(std::string_view text, unsigned& repairs) {
    return Balancer(text).Run(repairs);
}

}  // namespace XmlRepair

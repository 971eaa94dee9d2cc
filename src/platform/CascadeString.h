#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Letter case in comparisons. Options, ECP commands and worker commands are
// compared without regard to case; exit/hide and menu choices exactly.
enum class CascadeCase { Sensitive, Insensitive };

// The framework's text value: UTF-8 bytes, never null. A thin value type over
// std::string; any thread may use its own instances.
class CascadeString {
public:
    static constexpr std::size_t kUnlimited = std::string::npos;

    CascadeString() = default;
    CascadeString(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit like the framework's
    CascadeString(std::string_view text) : m_text(text) {}         // NOLINT
    CascadeString(std::string text) : m_text(std::move(text)) {}   // NOLINT

    CascadeString& operator=(const char* text) {
        m_text = text ? text : "";
        return *this;
    }
    CascadeString& operator+=(const CascadeString& o) {
        m_text += o.m_text;
        return *this;
    }
    CascadeString& operator+=(std::string_view o) {
        m_text += o;
        return *this;
    }
    CascadeString& operator+=(const char* o) {
        if (o) m_text += o;
        return *this;
    }
    CascadeString& operator+=(char c) {
        m_text += c;
        return *this;
    }
    friend CascadeString operator+(CascadeString a, std::string_view b) { return a += b; }
    friend CascadeString operator+(CascadeString a, const CascadeString& b) { return a += b; }
    friend CascadeString operator+(CascadeString a, const char* b) { return a += b; }
    bool operator==(const CascadeString& o) const { return m_text == o.m_text; }
    bool operator==(std::string_view o) const { return m_text == o; }
    bool operator==(const char* o) const { return m_text == (o ? o : ""); }

    const char* c_str() const { return m_text.c_str(); }
    std::string_view View() const { return m_text; }
    const std::string& Std() const { return m_text; }
    std::string& Std() { return m_text; }
    std::size_t GetLength() const { return m_text.size(); }
    bool IsEmpty() const { return m_text.empty(); }
    char operator[](std::size_t i) const { return i < m_text.size() ? m_text[i] : '\0'; }

    // 0 when equal over at most `length` bytes; negative when this text sorts
    // first, positive when it sorts after `text`. Case folding is ASCII only.
    int Compare(std::string_view text, CascadeCase cs = CascadeCase::Sensitive,
                std::size_t length = kUnlimited) const;
    bool Contains(std::string_view text, CascadeCase cs = CascadeCase::Sensitive) const;
    bool StartsWith(std::string_view text, CascadeCase cs = CascadeCase::Sensitive) const;
    // Folds ASCII letters to lower case in place.
    CascadeString& ToLower();
    // Keeps at most `length` bytes.
    void Truncate(std::size_t length);
    // printf-style formatting; replaces the content.
    CascadeString& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    std::string m_text;
};

template <>
struct std::hash<CascadeString> {
    std::size_t operator()(const CascadeString& s) const noexcept { return std::hash<std::string>()(s.Std()); }
};

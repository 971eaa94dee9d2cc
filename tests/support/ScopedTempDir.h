#pragma once

#include <string>
#include <string_view>

// A fresh directory under $TMPDIR (or /tmp) for one test, removed with all
// its contents when the object dies. Path() is "" when it could not be made.
class ScopedTempDir {
public:
    explicit ScopedTempDir(std::string_view prefix = "quendrel-test");
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;
    ~ScopedTempDir();

    const std::string& Path() const { return m_path; }
    // Path() + "/" + name
    std::string File(std::string_view name) const;
    // Writes `content` to File(name); false when that fails.
    [[nodiscard]] bool WriteFile(std::string_view name, std::string_view content) const;
    // The content of File(name), "" when it cannot be read.
    std::string ReadFile(std::string_view name) const;

private:
    std::string m_path;
};

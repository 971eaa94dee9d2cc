#include "support/ScopedTempDir.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

ScopedTempDir::ScopedTempDir(std::string_view prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + std::string(prefix) + "-XXXXXX";
    if (::mkdtemp(pattern.data())) m_path = pattern;
}

ScopedTempDir::~ScopedTempDir() {
    if (m_path.empty()) return;
    std::error_code ignored;
    // Tests may have taken write permission away from parts of the tree.
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::string ScopedTempDir::File(std::string_view name) const { return m_path + "/" + std::string(name); }

bool ScopedTempDir::WriteFile(std::string_view name, std::string_view content) const {
    std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
    out.write(content.data(), std::streamsize(content.size()));
    return bool(out.flush());
}

std::string ScopedTempDir::ReadFile(std::string_view name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

#include "platform/CascadeDirectory.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct DirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The sorted entry names of `path` without "." and ".."; false (logged) when
// the directory cannot be read.
bool ListNames(const char* path, std::vector<CascadeString>& names) {
    std::unique_ptr<DIR, DirClose> dir(path && *path ? ::opendir(path) : nullptr);
    if (!dir) {
        std::fprintf(stderr, "directory: cannot list \"%s\": %s\n", path ? path : "",
                     path && *path ? std::strerror(errno) : "no path");
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    std::sort(names.begin(), names.end(),
              [](const CascadeString& a, const CascadeString& b) { return a.Std() < b.Std(); });
    return true;
}

}  // namespace

CascadeString CascadeDirectory::GetCWD() {
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > 65536) {
            std::fprintf(stderr, "directory: cannot read the working directory: %s\n", std::strerror(errno));
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return CascadeString(std::move(buffer));
}

std::vector<CascadeString> CascadeDirectory::GetChildren(const char* path) {
    std::vector<CascadeString> names;
    if (!ListNames(path, names)) names.clear();
    return names;
}

bool CascadeDirectory::GetChildren(const char* path, CascadeTemplateArray<CascadeString>& children) {
    std::vector<CascadeString> names;
    if (!ListNames(path, names)) return false;
    for (auto& name : names) children.Append(name);
    return true;
}

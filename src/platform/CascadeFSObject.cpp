#include "platform/CascadeFSObject.h"

#include <sys/stat.h>

#include <string_view>

bool CascadeFSObject::Exists(const char* path) {
    struct stat info {};
    return path && *path && ::stat(path, &info) == 0;
}

bool CascadeFSObject::IsDirectory(const char* path) {
    struct stat info {};
    return path && *path && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

CascadeString CascadeFSObject::GetFilenameExtension(const char* path) {
    std::string_view name = path ? path : "";
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return CascadeString(name.substr(dot + 1));
}

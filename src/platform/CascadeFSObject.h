#pragma once

#include "platform/CascadeString.h"

// Questions about a path in the file system. Static; any thread.
class CascadeFSObject {
public:
    // True when something (file, directory, ...) exists at `path`.
    static bool Exists(const char* path);
    // True when `path` is a directory (following symbolic links).
    static bool IsDirectory(const char* path);
    // The text after the last "." of the last path component, without the
    // dot ("jpg" for "a/b.c/cover.jpg"); "" when that component has no dot or
    // only a leading one (".profile").
    static CascadeString GetFilenameExtension(const char* path);
};

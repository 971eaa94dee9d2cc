#pragma once

#include <vector>

#include "platform/CascadeString.h"
#include "platform/CascadeTemplateArray.h"

// Directory listing and the working directory. Static; any thread.
class CascadeDirectory {
public:
    // The current working directory (no trailing "/" except for "/"); "" when
    // the system cannot tell (logged).
    static CascadeString GetCWD();

    // Appends the names (not paths) of the entries of directory `path`,
    // without "." and "..", sorted by byte value. False with a log line when
    // the directory cannot be read; `children` is then unchanged.
    [[nodiscard]] static bool GetChildren(const char* path, CascadeTemplateArray<CascadeString>& children);
    // The same names as a vector; empty when the directory cannot be read.
    static std::vector<CascadeString> GetChildren(const char* path);
};

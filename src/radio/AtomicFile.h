#pragma once

#include <string>
#include <string_view>

// Replacing a file so that a crash, a kill or a power cut at any moment
// leaves either the old or the new content, never a mix or an empty file.
// Any thread; two writers of the same path must not overlap.
namespace AtomicFile {

// Writes `content` to "<path>.tmp" in the same directory, flushes it to the
// disk (fsync), renames it over `path` and syncs the directory. False, with
// a "radio:" log line, when any step fails; `path` is then unchanged and the
// temporary file removed.
[[nodiscard]] bool Write(const std::string& path, std::string_view content);

// The whole content of the file at `path`. False when it cannot be read;
// `error` then holds errno (ENOENT for a missing file).
[[nodiscard]] bool Read(const std::string& path, std::string& content, int& error);

}  // namespace AtomicFile

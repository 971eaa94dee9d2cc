#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the fuzz targets share: a quiet log, the input cut into lines, the
// input sent down a socket, and a scratch directory for targets whose parser
// reads a file. Any thread.
//
// FuzzInput.cpp also holds a weak LLVMFuzzerInitialize that only calls
// Silence(): a target that needs more set-up defines its own (and calls
// Silence() itself).
class FuzzInput {
public:
    // Sends the application log and its echo to /dev/null: a log line per
    // bad input is wanted in the product, but would drown the fuzzer.
    // QUENDREL_FUZZ_LOG=1 in the environment keeps the log.
    static void Silence();
    // The input as text.
    static std::string_view Text(const uint8_t* data, std::size_t size) {
        return {reinterpret_cast<const char*>(data), size};
    }
    // The pieces between line feeds (or `separator`s), the last one kept
    // even without its line feed. The views point into `text`.
    static std::vector<std::string_view> Lines(std::string_view text, char separator = '\n');
    // Sends all of `data` on `fd` (as far as the peer takes it), then shuts
    // the sending side, so the reader sees the end of the input.
    static void SendAndShut(int fd, const uint8_t* data, std::size_t size);
    // A directory made once per process under $TMPDIR (or /dev/shm, or
    // /tmp) and removed when the process ends normally.
    static const std::string& ScratchDir();
    // Writes `bytes` to the file `name` in ScratchDir(); its path, or ""
    // when that fails.
    static std::string ScratchFile(const char* name, std::string_view bytes);
};

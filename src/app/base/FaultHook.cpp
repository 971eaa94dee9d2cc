#include "app/base/FaultHook.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

const char* NameOf(FaultHook::Point point) {
    switch (point) {
        case FaultHook::Point::AudioThread:
            return "audio-thread";
    }
    return "";
}

}  // namespace

void FaultHook::At(Point point) {
    static const char* const chosen = std::getenv("QUENDREL_TEST_FAULT");
    if (!chosen || std::strcmp(chosen, NameOf(point)) != 0) return;
    std::raise(SIGSEGV);
}

#include "platform/CascadeAudioDevices.h"

#include <SDL.h>

#include <cstdlib>

bool CascadeAudioDevices::List(std::vector<std::string>& names, std::string& driver, std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return false;
    }
    if (const char* current = SDL_GetCurrentAudioDriver()) driver = current;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, 0)) names.emplace_back(name);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return true;
}

std::string CascadeAudioDevices::Chosen() {
    const char* name = std::getenv(kEnvironmentName);
    return name ? name : "";
}

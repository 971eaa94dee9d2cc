#pragma once

#include "platform/CascadeBitmap.h"
#include "platform/CascadeRect.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace detail {

// The SDL2 window that shows the composed screen, scaled to fill the display
// (letterbox only where the aspect ratios differ), and the source of keyboard
// and media keys. UI thread only, except Wake.
class SdlPresenter {
public:
    struct Events {
        // A keyboard or media key by SDL's key name ("Return", "AudioPlay"),
        // with Shift held or not; `repeat` for the repeats of a held key.
        std::function<void(const char* name, bool shift, bool down, bool repeat)> key;
        std::function<void()> quit;
    };

    // Null (with the reason in `error`) when SDL video cannot start.
    static std::unique_ptr<SdlPresenter> Create(const CascadeDims& logical, std::string& error);
    ~SdlPresenter();

    // True when the window system can deliver input, so the loop waits on
    // SDL's events; false for the offscreen and dummy drivers.
    bool HasInput() const { return m_hasInput; }
    // Copies the given parts of `screen` into the picture and shows the whole
    // picture, scaled to fill the window (bars only where the aspect ratios
    // differ).
    void Present(const CascadeBitmap& screen, const std::vector<CascadeRect>& rects);
    // Waits at most `timeoutMs` (-1: no limit) for an event or Wake, then
    // handles every pending event.
    void WaitEvents(int timeoutMs, const Events& events);
    void PollEvents(const Events& events);
    // Interrupts WaitEvents. Any thread.
    void Wake();
    void Minimize();
    void Restore();
    void KeepAwake();

private:
    SdlPresenter() = default;
    static SDL_Window* CreateWindowed(const CascadeDims& logical);
    static SDL_Window* CreateFullScreen(const CascadeDims& logical);
    void ShowTexture();
    void Handle(const void* event, const Events& events);

    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    CascadeDims m_logical;
    unsigned m_wakeEvent = 0;
    bool m_hasInput = false;
    bool m_keptAwake = false;
};

}  // namespace detail

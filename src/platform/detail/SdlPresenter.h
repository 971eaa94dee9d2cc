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

// The SDL2 window that shows the composed screen, scaled to the display with
// letterboxing, and the source of keyboard and media keys. UI thread only,
// except Wake.
class SdlPresenter {
public:
    struct Events {
        std::function<void(unsigned long key, bool down)> key;
        std::function<void()> quit;
    };

    // Null (with the reason in `error`) when SDL video cannot start.
    static std::unique_ptr<SdlPresenter> Create(const CascadeDims& logical, std::string& error);
    ~SdlPresenter();

    // True when the window system can deliver input, so the loop waits on
    // SDL's events; false for the offscreen and dummy drivers.
    bool HasInput() const { return m_hasInput; }
    // Copies the given parts of `screen` to the window and shows it.
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
    void Handle(const void* event, const Events& events);

    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    unsigned m_wakeEvent = 0;
    bool m_hasInput = false;
    bool m_keptAwake = false;
};

// Maps an SDL keycode and modifiers to the remote's key code; 0 when unmapped.
unsigned long MapSdlKey(int keycode, unsigned modifiers);

}  // namespace detail

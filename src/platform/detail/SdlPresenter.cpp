#include "platform/detail/SdlPresenter.h"

#include "platform/CascadeScreenFit.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace detail {

namespace {

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::strcmp(v, "0") != 0;
}

// SDL's reason, and for the console's driver what it takes, which SDL's
// own words ("kmsdrm not available") do not say.
std::string Reason() {
    std::string reason = SDL_GetError();
    const char* wanted = std::getenv("SDL_VIDEODRIVER");
    if (wanted && SDL_strcasecmp(wanted, "kmsdrm") == 0)
        reason += "; full screen on the console (SDL_VIDEODRIVER=kmsdrm) needs a display device /dev/dri/card* "
                  "this user may open (groups video and render) that no desktop session holds";
    return reason;
}

}  // namespace

std::unique_ptr<SdlPresenter> SdlPresenter::Create(const CascadeDims& logical, std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        error = Reason();
        return nullptr;
    }
    std::unique_ptr<SdlPresenter> p(new SdlPresenter());
    p->m_logical = logical;
    const char* driver = SDL_GetCurrentVideoDriver();
    p->m_hasInput = driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
    const bool windowed = EnvSet("QUENDREL_WINDOWED") || !p->m_hasInput;
    p->m_window = windowed ? CreateWindowed(logical) : CreateFullScreen(logical);
    // Without a display (tests, headless runs) a GPU renderer only costs
    // start-up time: the software one presents the same picture.
    const Uint32 rendererFlags = p->m_hasInput ? 0 : SDL_RENDERER_SOFTWARE;
    if (!p->m_hasInput) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (p->m_window) p->m_renderer = SDL_CreateRenderer(p->m_window, -1, rendererFlags);
    if (!p->m_renderer && p->m_window) p->m_renderer = SDL_CreateRenderer(p->m_window, -1, SDL_RENDERER_SOFTWARE);
    if (p->m_renderer) {
        p->m_texture = SDL_CreateTexture(p->m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                         logical.w, logical.h);
    }
    if (!p->m_texture) {
        error = Reason();
        return nullptr;  // the destructor tears down what was made
    }
    // The screen image is opaque: its alpha must not blend it with the
    // cleared bars.
    SDL_SetTextureBlendMode(p->m_texture, SDL_BLENDMODE_NONE);
    SDL_ShowCursor(SDL_DISABLE);
    p->m_wakeEvent = SDL_RegisterEvents(1);
    return p;
}

SDL_Window* SdlPresenter::CreateWindowed(const CascadeDims& logical) {
    return SDL_CreateWindow("Quendrel", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, logical.w, logical.h,
                            SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
}

// The window is made as large as the display it is on, before it asks the
// window system for full screen. Asking alone is not enough: without a
// window manager (or before it reacts) the window keeps its first size while
// SDL already renders for the display's, so the picture would come out cut
// off and unscaled.
SDL_Window* SdlPresenter::CreateFullScreen(const CascadeDims& logical) {
    SDL_Rect bounds{0, 0, logical.w, logical.h};
    if (SDL_GetDisplayBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) {
        std::fprintf(stderr, "screen: display size unknown (%s); using %dx%d\n", SDL_GetError(), logical.w,
                     logical.h);
        bounds = {0, 0, logical.w, logical.h};
    }
    return SDL_CreateWindow("Quendrel", bounds.x, bounds.y, bounds.w, bounds.h,
                            SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
}

SdlPresenter::~SdlPresenter() {
    if (m_texture) SDL_DestroyTexture(m_texture);
    if (m_renderer) SDL_DestroyRenderer(m_renderer);
    if (m_window) SDL_DestroyWindow(m_window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

void SdlPresenter::Present(const CascadeBitmap& screen, const std::vector<CascadeRect>& rects) {
    const uint32_t* pixels = screen.GetPixels();
    const int stride = screen.GetStride();
    for (const CascadeRect& r : rects) {
        SDL_Rect area{r.x, r.y, r.w, r.h};
        SDL_UpdateTexture(m_texture, &area, pixels + std::size_t(r.y) * stride + r.x, stride * 4);
    }
    ShowTexture();
}

// The whole screen image, scaled to what the renderer really draws on now
// (asked every time: a window manager may resize the window at any moment).
void SdlPresenter::ShowTexture() {
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(m_renderer, &w, &h) != 0) SDL_GetWindowSize(m_window, &w, &h);
    const CascadeRect fit = CascadeScreenFit::Fit(m_logical, {w, h});
    const SDL_Rect target{fit.x, fit.y, fit.w, fit.h};
    SDL_SetRenderDrawColor(m_renderer, 0, 0, 0, 255);
    SDL_RenderClear(m_renderer);
    SDL_RenderCopy(m_renderer, m_texture, nullptr, &target);
    SDL_RenderPresent(m_renderer);
}

void SdlPresenter::Handle(const void* raw, const Events& events) {
    const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
    switch (e.type) {
        case SDL_QUIT:
            if (events.quit) events.quit();
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (events.key && e.key.keysym.sym != SDLK_UNKNOWN)
                events.key(SDL_GetKeyName(e.key.keysym.sym), (e.key.keysym.mod & KMOD_SHIFT) != 0,
                           e.type == SDL_KEYDOWN, e.key.repeat != 0);
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                ShowTexture();
            break;
        default:
            break;
    }
}

void SdlPresenter::WaitEvents(int timeoutMs, const Events& events) {
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, timeoutMs < 0 ? 24 * 3600 * 1000 : timeoutMs)) Handle(&e, events);
    PollEvents(events);
}

void SdlPresenter::PollEvents(const Events& events) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) Handle(&e, events);
}

void SdlPresenter::Wake() {
    if (!m_hasInput || m_wakeEvent == static_cast<unsigned>(-1)) return;
    SDL_Event e{};
    e.type = m_wakeEvent;
    SDL_PushEvent(&e);
}

void SdlPresenter::Minimize() { SDL_MinimizeWindow(m_window); }

void SdlPresenter::Restore() {
    SDL_RestoreWindow(m_window);
    SDL_RaiseWindow(m_window);
}

void SdlPresenter::KeepAwake() {
    if (m_keptAwake) return;
    SDL_DisableScreenSaver();
    m_keptAwake = true;
}

}  // namespace detail

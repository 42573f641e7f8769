#include "platform/window/WindowHost.hpp"

#include "platform/formatting/QuotedText.hpp"
#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/views/Clipboard.hpp"
#include "platform/window/WindowVisual.hpp"
#include "platform/window/XWindowWatch.hpp"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform::window {

namespace {

constexpr std::uint64_t kFrameMilliseconds = 16;
// The loop wakes at least this often even when nothing is scheduled, so that a
// missed wake-up can never stall the main queue for long.
constexpr int kLongestSleepMilliseconds = 250;

Uint32 wakeEventType() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The line for displays the environment names where nothing answers.
std::string noDisplayAnswers(const std::string& x, const std::string& wayland) {
    if (wayland.empty()) {
        return "no X server answers on display " + quotedText(x) +
               " (DISPLAY); start one or set DISPLAY to one that runs";
    }
    if (x.empty()) {
        return "no Wayland compositor answers on display " + quotedText(wayland) +
               " (WAYLAND_DISPLAY); start one or set WAYLAND_DISPLAY to one that runs";
    }
    return "neither a Wayland compositor on " + quotedText(wayland) +
           " (WAYLAND_DISPLAY) nor an X server on " + quotedText(x) +
           " (DISPLAY) answers; start one or set these to displays that run";
}

// Whether the options inject a failure at `step`; SDL's error is then the injected one.
bool failsAt(const WindowOptions& options, OpenStep step) {
    if (options.failAt != step) {
        return false;
    }
    SDL_SetError("injected failure");
    return true;
}

} // namespace

struct WindowHost::Sdl {
    SDL_Window* window = nullptr;
    bool servesClipboard = false;
    // Made before SDL opens the display and ended after it closed it (a member ends after
    // the destructor's body).
    std::unique_ptr<XWindowWatch> watch;

    ~Sdl() {
        if (servesClipboard) {
            ui::Clipboard::setHook({});
        }
        if (watch && watch->displayLost()) {
            return; // SDL's teardown would wait for answers of a server that is gone
        }
        if (window != nullptr) {
            SDL_DestroyWindow(window);
        }
        // Only video: the sound output keeps the audio it opened for itself.
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

std::unique_ptr<WindowHost> WindowHost::open(const WindowOptions& options, std::string& error) {
    OpenFailure failure{};
    return open(options, error, failure);
}

std::unique_ptr<WindowHost> WindowHost::open(const WindowOptions& options, std::string& error,
                                             OpenFailure& failure) {
    failure = OpenFailure::noDisplay;
    // SDL holds the screen saver off by default; the app asks for that through the idle timer.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    const std::string chosen = variable("SDL_VIDEODRIVER");
    const std::string x = variable("DISPLAY");
    const std::string wayland = variable("WAYLAND_DISPLAY");
    if (chosen.empty() && x.empty() && wayland.empty()) {
        error = "no display to open the window on; set DISPLAY or WAYLAND_DISPLAY";
        return nullptr;
    }
    // The X server and the window's visual, checked on a connection of the app's own where SDL
    // may use X: SDL's own start says only that it failed, whether nothing answers, the server
    // refuses the app, or the visual the environment names is one SDL has no format for.
    const bool mayUseX = !x.empty() && (chosen.empty() || chosen == "x11");
    std::optional<WindowVisual> visual;
    const auto refusedBy = [&](const WindowVisual& checked) {
        switch (checked.outcome) {
        case WindowVisual::Outcome::chosen:
            return false;
        case WindowVisual::Outcome::noServer:
            failure = OpenFailure::noDisplay;
            error = noDisplayAnswers(x, wayland);
            return true;
        case WindowVisual::Outcome::refused:
            failure = OpenFailure::windowNotMade;
            break;
        case WindowVisual::Outcome::noVisual:
            failure = OpenFailure::noVisual;
            break;
        }
        error = checked.error;
        return true;
    };
    // Where X is the only display SDL may use, before SDL tries it. Where Wayland is named too,
    // SDL may not use X at all: the check waits for SDL to pick X, or to fail.
    if (mayUseX && wayland.empty()) {
        visual = chooseWindowVisual();
        if (refusedBy(*visual)) {
            return nullptr;
        }
    }
    // Where the environment names one kind of display, SDL tries that one only: it would
    // otherwise go on to the other kind (a Wayland socket when only DISPLAY is set, whose
    // library complains about XDG_RUNTIME_DIR on standard error) and end on its offscreen
    // driver, and the display the user named would go unmentioned.
    if (chosen.empty() && x.empty() != wayland.empty()) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, x.empty() ? "wayland" : "x11");
    } else {
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    }
    auto watch = std::make_unique<XWindowWatch>();
    if (failsAt(options, OpenStep::videoStart) || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        const std::string why = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        if (mayUseX && !visual) {
            visual = chooseWindowVisual();
        }
        if (visual && refusedBy(*visual)) {
            return nullptr;
        }
        if (visual) {
            failure = OpenFailure::windowNotMade;
            error = "the X server on display " + quotedText(x) +
                    " answers, but SDL's video cannot start on it: " + why;
            return nullptr;
        }
        error = chosen.empty() ? noDisplayAnswers(x, wayland)
                               : "no display to open the window on (" + why +
                                     "); set DISPLAY or WAYLAND_DISPLAY";
        return nullptr;
    }
    auto sdl = std::make_unique<Sdl>();
    sdl->watch = std::move(watch);
    const std::string_view driver = SDL_GetCurrentVideoDriver();
    if (driver == "dummy" || driver == "offscreen") {
        error = chosen.empty()
                    ? noDisplayAnswers(x, wayland)
                    : "no display to open the window on (the video driver \"" +
                          std::string(driver) + "\" shows nothing); set DISPLAY or WAYLAND_DISPLAY";
        return nullptr;
    }

    double scale = options.scale;
    if (scale <= 0) {
        float dpi = 0;
        SDL_Rect usable{};
        if (SDL_GetDisplayDPI(0, &dpi, nullptr, nullptr) != 0) {
            dpi = 96;
        }
        double usableHeight = 0;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
            usableHeight = usable.h * 0.92; // room for the title bar
        }
        scale = options.sizing.scaleFor(dpi, usableHeight);
    }
    if (driver == "x11") {
        // A visual the window's surface can take, whose black is black (WindowVisual.hpp).
        if (!visual) {
            visual = chooseWindowVisual();
        }
        if (refusedBy(*visual)) {
            return nullptr;
        }
        if (visual->id.empty()) {
            SDL_ResetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID);
        } else {
            SDL_SetHintWithPriority(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, visual->id.c_str(),
                                    SDL_HINT_DEFAULT);
        }
    }
    // From here on a display answers and the app can draw on it: what fails is the window.
    failure = OpenFailure::windowNotMade;
    const auto pixels = [scale](double points) { return saturatingRound<int>(points * scale); };
    const WindowSizing& sizing = options.sizing;
    sdl->window = failsAt(options, OpenStep::window)
                      ? nullptr
                      : SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED,
                                         SDL_WINDOWPOS_CENTERED, pixels(sizing.points.width),
                                         pixels(sizing.points.height), SDL_WINDOW_RESIZABLE);
    if (sdl->window == nullptr) {
        error = std::string("cannot open the window: ") + SDL_GetError();
        return nullptr;
    }
    SDL_SetWindowMinimumSize(sdl->window, pixels(sizing.minimum.width),
                             pixels(sizing.minimum.height));
    SDL_SetWindowMaximumSize(sdl->window, pixels(sizing.maximum.width),
                             pixels(sizing.maximum.height));
    // The frame is drawn on the CPU by Cairo and copied into the window's surface. On X
    // that surface is the server's shared memory (an image put per changed rectangle), not
    // SDL's texture through an OpenGL renderer, which under a server without a GPU renders
    // on the CPU and uploads the whole window at every frame.
    if (driver == "x11") {
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    }
    if (failsAt(options, OpenStep::surface) || SDL_GetWindowSurface(sdl->window) == nullptr) {
        error = std::string("cannot draw into the window: ") + SDL_GetError();
        return nullptr;
    }
    sdl->watch->watch(sdl->window);
    wakeEventType();
    return std::unique_ptr<WindowHost>(new WindowHost(std::move(sdl), options, scale));
}

WindowHost::WindowHost(std::unique_ptr<Sdl> sdl, const WindowOptions& options, double scale)
    : sdl_(std::move(sdl)), sizing_(options.sizing), scale_(scale), points_(options.sizing.points) {
    setIdleTimerDisabled(false);
    // Texts the views copy go to the desktop's clipboard while the window is open.
    ui::Clipboard::setHook([](const std::string& text) { SDL_SetClipboardText(text.c_str()); });
    sdl_->servesClipboard = true;
}

WindowHost::~WindowHost() = default;

void WindowHost::run() {
    running_ = true;
    while (running_) {
        handleEvents(waitMilliseconds());
        if (!running_) {
            break;
        }
        runMainLoop();
        if (redrawRequested_ && SDL_GetTicks64() >= lastFrameTicks_ + kFrameMilliseconds) {
            drawFrame();
        }
    }
}

bool WindowHost::step(double waitSeconds) {
    if (closed_) {
        return false;
    }
    handleEvents(saturatingCast<int>(std::ceil(std::max(0.0, waitSeconds) * 1000.0)));
    if (closed_) {
        return false;
    }
    runMainLoop();
    if (redrawRequested_) {
        drawFrame();
    }
    return true;
}

void WindowHost::handleEvents(int waitMilliseconds) {
    SDL_Event event;
    const bool first = waitMilliseconds > 0 ? SDL_WaitEventTimeout(&event, waitMilliseconds) != 0
                                            : SDL_PollEvent(&event) != 0;
    if (first) {
        handle(&event);
        while (!closed_ && SDL_PollEvent(&event) != 0) {
            handle(&event);
        }
    }
    if (sdl_->watch->windowGone()) {
        // Destroyed from outside, or the display went away: a close all the same.
        running_ = false;
        closed_ = true;
    }
}

void WindowHost::runMainLoop() {
    if (mainLoop_.runDue) {
        mainLoop_.runDue();
    }
}

void WindowHost::quit() {
    running_ = false;
    wake();
}

void WindowHost::wake() {
    SDL_Event event{};
    event.type = wakeEventType();
    SDL_PushEvent(&event);
}

int WindowHost::waitMilliseconds() const {
    int wait = kLongestSleepMilliseconds;
    if (mainLoop_.secondsUntilDue) {
        if (const auto due = mainLoop_.secondsUntilDue()) {
            wait = std::min(wait, saturatingCast<int>(std::ceil(std::max(0.0, *due) * 1000.0)));
        }
    }
    if (redrawRequested_) {
        const std::uint64_t next = lastFrameTicks_ + kFrameMilliseconds;
        const std::uint64_t now = SDL_GetTicks64();
        wait = std::min(wait, next > now ? static_cast<int>(next - now) : 0);
    }
    return wait;
}

void WindowHost::setIdleTimerDisabled(bool disabled) {
    if (disabled) {
        SDL_DisableScreenSaver();
    } else {
        SDL_EnableScreenSaver();
    }
}

bool WindowHost::isIdleTimerDisabled() const {
    return SDL_IsScreenSaverEnabled() == SDL_FALSE;
}

void WindowHost::handle(const void* raw) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(raw);
    const auto sendPointer = [this](PointerPhase phase, double x, double y) {
        if (pointer_) {
            pointer_({phase, {x / scale_, y / scale_}});
        }
    };
    switch (event.type) {
    case SDL_QUIT:
        running_ = false;
        closed_ = true;
        break;
    case SDL_WINDOWEVENT:
        handleWindowEvent(raw);
        break;
    case SDL_SYSWMEVENT:
        sdl_->watch->onSystemEvent(event);
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT && !pointerDown_) {
            pointerDown_ = true;
            SDL_CaptureMouse(SDL_TRUE); // keep the drag when the pointer leaves the window
            sendPointer(PointerPhase::down, event.button.x, event.button.y);
        }
        break;
    case SDL_MOUSEMOTION:
        if (pointerDown_) {
            sendPointer(PointerPhase::moved, event.motion.x, event.motion.y);
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && pointerDown_) {
            pointerDown_ = false;
            SDL_CaptureMouse(SDL_FALSE);
            sendPointer(PointerPhase::up, event.button.x, event.button.y);
        }
        break;
    case SDL_MOUSEWHEEL:
        if (wheel_) {
            // SDL counts a turn away from the user (or fingers moved up) as positive; its
            // precise value carries a touchpad's fractions of a notch.
            const float notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED
                                      ? -event.wheel.preciseY
                                      : event.wheel.preciseY;
            if (notches != 0) {
                wheel_({{event.wheel.mouseX / scale_, event.wheel.mouseY / scale_},
                        -double(notches) * kWheelNotchPoints});
            }
        }
        break;
    case SDL_KEYDOWN: {
        const auto key = phoneKeyFor(event.key.keysym.sym, event.key.keysym.mod);
        if (!key || !key_) {
            break;
        }
        // Holding an arrow keeps tilting; holding any other key presses it once.
        const bool tilt = *key == PhoneKey::tiltLeft || *key == PhoneKey::tiltRight ||
                          *key == PhoneKey::tiltForward || *key == PhoneKey::tiltBack;
        if (event.key.repeat == 0 || tilt) {
            key_(*key);
        }
        break;
    }
    default:
        break;
    }
}

void WindowHost::handleWindowEvent(const void* raw) {
    const SDL_WindowEvent& event = static_cast<const SDL_Event*>(raw)->window;
    std::optional<WindowLifecycle::Event> lifecycleEvent;
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        running_ = false;
        closed_ = true;
        return;
    case SDL_WINDOWEVENT_SHOWN:
        lifecycleEvent = WindowLifecycle::Event::shown;
        redrawRequested_ = true;
        showAll_ = true;
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        redrawRequested_ = true;
        showAll_ = true;
        break;
    case SDL_WINDOWEVENT_HIDDEN:
        lifecycleEvent = WindowLifecycle::Event::hidden;
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        lifecycleEvent = WindowLifecycle::Event::minimized;
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        lifecycleEvent = WindowLifecycle::Event::restored;
        redrawRequested_ = true;
        showAll_ = true;
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        lifecycleEvent = WindowLifecycle::Event::focusGained;
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        lifecycleEvent = WindowLifecycle::Event::focusLost;
        if (pointerDown_) {
            // The press will never see its release: tell the gestures it is over.
            pointerDown_ = false;
            SDL_CaptureMouse(SDL_FALSE);
            if (pointer_) {
                pointer_({PointerPhase::cancelled, {}});
            }
        }
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        resizeTo(event.data1, event.data2);
        break;
    default:
        break;
    }
    if (lifecycleEvent) {
        if (const auto phase = lifecycle_.apply(*lifecycleEvent); phase && phase_) {
            phase_(*phase);
        }
    }
}

void WindowHost::resizeTo(int widthPixels, int heightPixels) {
    const PointSize points = sizing_.pointsForPixels(widthPixels, heightPixels, scale_);
    const auto pixels = [this](double p) { return saturatingRound<int>(p * scale_); };
    if (pixels(points.width) != widthPixels || pixels(points.height) != heightPixels) {
        // Outside the limits (an X server without a window manager does not hold the
        // size hints): back within them, so the frame keeps one scale on both axes.
        SDL_SetWindowSize(sdl_->window, pixels(points.width), pixels(points.height));
    }
    redrawRequested_ = true;
    if (points == points_) {
        return;
    }
    points_ = points;
    if (resize_) {
        resize_(points_);
    }
}

void WindowHost::drawFrame() {
    redrawRequested_ = false;
    lastFrameTicks_ = SDL_GetTicks64();
    SDL_Surface* surface = SDL_GetWindowSurface(sdl_->window);
    if (surface == nullptr || surface->w <= 0 || surface->h <= 0) {
        return;
    }
    const int width = surface->w;
    const int height = surface->h;
    Frame frame;
    frame.fresh = width != frameWidth_ || height != frameHeight_;
    if (frame.fresh) {
        pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                       0xff000000u);
        frameWidth_ = width;
        frameHeight_ = height;
    }
    const ui::PixelRect whole{0, 0, width, height};
    std::vector<ui::PixelRect> changed;
    if (draw_) {
        frame.pixels = pixels_.data();
        frame.width = width;
        frame.height = height;
        frame.stride = width * 4;
        frame.scale = static_cast<double>(width) / points_.width;
        frame.points = points_;
        frame.safeAreaTop = sizing_.safeAreaTop;
        frame.safeAreaBottom = sizing_.safeAreaBottom;
        changed = draw_(frame);
    } else if (frame.fresh) {
        changed = {whole};
    }
    if (showAll_ || frame.fresh) {
        showAll_ = false;
        changed = {whole};
    }
    show(changed);
}

void WindowHost::show(const std::vector<ui::PixelRect>& changed) {
    SDL_Surface* surface = SDL_GetWindowSurface(sdl_->window);
    if (surface == nullptr) {
        return;
    }
    std::vector<SDL_Rect> rects;
    for (const ui::PixelRect& r : changed) {
        const int x0 = std::clamp(r.x, 0, frameWidth_), y0 = std::clamp(r.y, 0, frameHeight_);
        const int x1 = std::clamp(r.x + r.width, 0, frameWidth_);
        const int y1 = std::clamp(r.y + r.height, 0, frameHeight_);
        if (x1 > x0 && y1 > y0 && x1 <= surface->w && y1 <= surface->h) {
            rects.push_back({x0, y0, x1 - x0, y1 - y0});
        }
    }
    if (rects.empty()) {
        return;
    }
    ++framesDrawn_;
    const bool locked = SDL_MUSTLOCK(surface);
    if (locked && SDL_LockSurface(surface) != 0) {
        return;
    }
    const std::size_t stride = static_cast<std::size_t>(frameWidth_) * 4;
    auto* target = static_cast<unsigned char*>(surface->pixels);
    for (const SDL_Rect& r : rects) {
        const auto* from = reinterpret_cast<const unsigned char*>(pixels_.data()) +
                           static_cast<std::size_t>(r.y) * stride +
                           static_cast<std::size_t>(r.x) * 4;
        unsigned char* to = target + static_cast<std::ptrdiff_t>(r.y) * surface->pitch +
                            static_cast<std::ptrdiff_t>(r.x) * surface->format->BytesPerPixel;
        // Cairo's ARGB32 is SDL's ARGB8888, and with its alpha unread RGB888. The window is
        // opaque: the frame's colours are premultiplied, the frame over black, and a surface
        // with alpha (a visual of 32 bits) gets it full, or a compositing manager would show
        // the desktop through the frame's transparent pixels. Other surfaces (a screen of 16
        // bits) are converted.
        const Uint32 format = surface->format->format;
        if (format == SDL_PIXELFORMAT_RGB888) {
            for (int row = 0; row < r.h; ++row) {
                std::memcpy(to + static_cast<std::ptrdiff_t>(row) * surface->pitch,
                            from + static_cast<std::size_t>(row) * stride,
                            static_cast<std::size_t>(r.w) * 4);
            }
        } else if (format == SDL_PIXELFORMAT_ARGB8888) {
            for (int row = 0; row < r.h; ++row) {
                const auto* source = reinterpret_cast<const std::uint32_t*>(
                    from + static_cast<std::size_t>(row) * stride);
                auto* shown = reinterpret_cast<std::uint32_t*>(
                    to + static_cast<std::ptrdiff_t>(row) * surface->pitch);
                for (int x = 0; x < r.w; ++x) {
                    shown[x] = source[x] | 0xff000000u;
                }
            }
        } else {
            SDL_ConvertPixels(r.w, r.h, SDL_PIXELFORMAT_RGB888, from, static_cast<int>(stride),
                              format, to, surface->pitch);
        }
    }
    if (locked) {
        SDL_UnlockSurface(surface);
    }
    SDL_UpdateWindowSurfaceRects(sdl_->window, rects.data(), static_cast<int>(rects.size()));
}

} // namespace qv::platform::window

#include "platform/window/WindowHost.hpp"

#include "platform/formatting/QuotedText.hpp"
#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/views/Clipboard.hpp"
#include "platform/window/XWindowWatch.hpp"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
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

} // namespace

struct WindowHost::Sdl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
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
        if (texture != nullptr) {
            SDL_DestroyTexture(texture);
        }
        if (renderer != nullptr) {
            SDL_DestroyRenderer(renderer);
        }
        if (window != nullptr) {
            SDL_DestroyWindow(window);
        }
        // Only video: the sound output keeps the audio it opened for itself.
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

std::unique_ptr<WindowHost> WindowHost::open(const WindowOptions& options, std::string& error) {
    // SDL holds the screen saver off by default; the app asks for that through the idle timer.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    const std::string chosen = variable("SDL_VIDEODRIVER");
    const std::string x = variable("DISPLAY");
    const std::string wayland = variable("WAYLAND_DISPLAY");
    if (chosen.empty() && x.empty() && wayland.empty()) {
        error = "no display to open the window on; set DISPLAY or WAYLAND_DISPLAY";
        return nullptr;
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
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = chosen.empty() ? noDisplayAnswers(x, wayland)
                               : std::string("no display to open the window on (") +
                                     SDL_GetError() + "); set DISPLAY or WAYLAND_DISPLAY";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
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
    const auto pixels = [scale](double points) { return saturatingRound<int>(points * scale); };
    const WindowSizing& sizing = options.sizing;
    sdl->window = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED,
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
    // The frame is drawn on the CPU by Cairo; the software renderer only copies it out,
    // and works the same on every X server, Xvfb included.
    sdl->renderer = SDL_CreateRenderer(sdl->window, -1, SDL_RENDERER_SOFTWARE);
    if (sdl->renderer == nullptr) {
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
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        redrawRequested_ = true;
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
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(sdl_->renderer, &width, &height);
    if (width <= 0 || height <= 0) {
        return;
    }
    ++framesDrawn_;
    if (sdl_->texture == nullptr || width != frameWidth_ || height != frameHeight_) {
        if (sdl_->texture != nullptr) {
            SDL_DestroyTexture(sdl_->texture);
        }
        sdl_->texture = SDL_CreateTexture(sdl_->renderer, SDL_PIXELFORMAT_ARGB8888,
                                          SDL_TEXTUREACCESS_STREAMING, width, height);
        frameWidth_ = width;
        frameHeight_ = height;
    }
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xff000000u);
    if (draw_) {
        Frame frame;
        frame.pixels = pixels_.data();
        frame.width = width;
        frame.height = height;
        frame.stride = width * 4;
        frame.scale = static_cast<double>(width) / points_.width;
        frame.points = points_;
        frame.safeAreaTop = sizing_.safeAreaTop;
        frame.safeAreaBottom = sizing_.safeAreaBottom;
        draw_(frame);
    }
    if (sdl_->texture != nullptr) {
        SDL_UpdateTexture(sdl_->texture, nullptr, pixels_.data(), width * 4);
        SDL_RenderClear(sdl_->renderer);
        SDL_RenderCopy(sdl_->renderer, sdl_->texture, nullptr, nullptr);
    }
    SDL_RenderPresent(sdl_->renderer);
}

} // namespace qv::platform::window

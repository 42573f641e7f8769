#pragma once
// The app's window: an SDL2 window in phone proportions that the view layer draws
// into, whose event loop drains the main queue and turns the window system's events
// into pointer input, phone keys and the scene phase.
//
// One host per process, made, run and destroyed on the main thread. Only wake() may
// be called from other threads.

#include "platform/input/Pointer.hpp"
#include "platform/ui/geometry/Geometry.hpp"
#include "platform/ui/views/ScenePhase.hpp"
#include "platform/window/PhoneKeys.hpp"
#include "platform/window/WindowLifecycle.hpp"
#include "platform/window/WindowSizing.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform::window {

/// The pixels a frame is drawn into: 32-bit premultiplied ARGB in native byte order
/// (Cairo's ARGB32), `stride` bytes per row, `scale` pixels per point. They hold the frame
/// drawn before, unless `fresh` (the first frame, a new size): then they are opaque black.
struct Frame {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    double scale = 1;
    PointSize points;
    double safeAreaTop = 0;
    double safeAreaBottom = 0;
    bool fresh = true;
};

/// Draws a frame and answers the rectangles of pixels it changed: only those are shown
/// anew, and a frame that changed nothing is not shown (nor counted).
using DrawHandler = std::function<std::vector<ui::PixelRect>(const Frame&)>;

using input::PointerPhase;

/// The primary mouse button (or a touch) in window points, top-left origin. The caller
/// stamps it with the dispatch clock's time to make an input::PointerEvent.
struct PointerInput {
    PointerPhase phase = PointerPhase::down;
    input::Point location;
};

/// The mouse wheel or a touchpad's two-finger scroll at a point of the window (points,
/// top-left origin): `points` to scroll, positive towards the end of the content (the wheel
/// turned towards the user). A wheel notch is `kWheelNotchPoints`; a touchpad's precise
/// scroll gives fractions of it.
struct WheelInput {
    input::Point location;
    double points = 0;
};

/// How far one notch of the wheel scrolls.
inline constexpr double kWheelNotchPoints = 40;

/// How the event loop reaches the main queue. `runDue` runs the work that is due now;
/// `secondsUntilDue` tells how long the loop may sleep (nullopt: nothing is scheduled).
struct MainLoopHooks {
    std::function<void()> runDue;
    std::function<std::optional<double>()> secondsUntilDue;
};

/// For tests: a step of WindowHost::open() made to fail as SDL fails there, with SDL's error
/// "injected failure" (SDL gives no way to make these steps fail on a display that works).
enum class OpenStep {
    none,
    videoStart, ///< SDL's video on the display (after the app checked the X server and visual)
    window,     ///< SDL_CreateWindow
    surface,    ///< the window's surface
};

struct WindowOptions {
    std::string title = "Quarn Vesil";
    WindowSizing sizing;
    /// Pixels per point; 0 takes it from the display.
    double scale = 0;
    OpenStep failAt = OpenStep::none;
};

class WindowHost {
public:
    /// Why open() made no window.
    enum class OpenFailure {
        /// None is named, nothing answers at the one named, or the one named shows nothing.
        noDisplay,
        /// The screen offers no visual the app draws in exactly (8 bits deep), or the visual
        /// the environment names is not one or is not offered (WindowVisual.hpp).
        noVisual,
        /// A display answers, but the window cannot be made on it: the X server refuses the
        /// connection, SDL's video cannot start on it, or SDL cannot make the window or its
        /// surface.
        windowNotMade,
    };
    /// Opens the window. Without one it returns null, sets `error` to one line that says why
    /// and `failure` to the kind of reason.
    static std::unique_ptr<WindowHost> open(const WindowOptions& options, std::string& error,
                                            OpenFailure& failure);
    static std::unique_ptr<WindowHost> open(const WindowOptions& options, std::string& error);
    ~WindowHost();
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    /// Draws one frame; called at most once per display frame, and only after
    /// requestRedraw() (or when the window is shown, resized or uncovered). The window
    /// shows the frame buffer through its own surface, copying only the rectangles the
    /// frame changed (the window system's shared memory where it has it: no copy of the
    /// whole window per frame); after an uncovering it shows the whole buffer again.
    void onDraw(DrawHandler draw) { draw_ = std::move(draw); }
    void onPointer(std::function<void(const PointerInput&)> f) { pointer_ = std::move(f); }
    void onWheel(std::function<void(const WheelInput&)> f) { wheel_ = std::move(f); }
    void onKey(std::function<void(PhoneKey)> f) { key_ = std::move(f); }
    void onScenePhase(std::function<void(ui::ScenePhase)> f) { phase_ = std::move(f); }
    void onResize(std::function<void(PointSize)> f) { resize_ = std::move(f); }
    void setMainLoop(MainLoopHooks hooks) { mainLoop_ = std::move(hooks); }

    /// Runs the event loop until the window is closed or quit() is called.
    void run();
    void quit();
    /// One turn of the loop, for tests that move the clock themselves (a VirtualDispatch)
    /// between turns: handles the events waiting (for the first, at most `waitSeconds` of
    /// real time, for input sent through X to arrive), runs the main-queue work that is
    /// due, and draws a frame if one was asked for (without the 16 ms pacing of run()).
    /// Returns false, doing nothing, once the window has been closed.
    bool step(double waitSeconds = 0);
    void requestRedraw() { redrawRequested_ = true; }
    /// Wakes a sleeping event loop so that it drains the main queue (any thread).
    void wake();

    /// The idle timer: while disabled, the screen saver and display blanking are held off.
    void setIdleTimerDisabled(bool disabled);
    bool isIdleTimerDisabled() const;

    PointSize pointSize() const { return points_; }
    double scale() const { return scale_; }
    ui::ScenePhase scenePhase() const { return lifecycle_.phase(); }
    /// The pixels of the last frame drawn (the picture the window shows), width x height.
    const std::vector<std::uint32_t>& lastFrame() const { return pixels_; }
    int frameWidth() const { return frameWidth_; }
    int frameHeight() const { return frameHeight_; }
    /// The frames shown since the window opened: those whose drawing changed pixels (or
    /// that showed the picture again after the window was uncovered).
    std::uint64_t framesDrawn() const { return framesDrawn_; }

private:
    struct Sdl;
    WindowHost(std::unique_ptr<Sdl> sdl, const WindowOptions& options, double scale);
    void handleEvents(int waitMilliseconds);
    void runMainLoop();
    void handle(const void* event);
    void handleWindowEvent(const void* event);
    void resizeTo(int widthPixels, int heightPixels);
    void drawFrame();
    void show(const std::vector<ui::PixelRect>& changed);
    int waitMilliseconds() const;

    std::unique_ptr<Sdl> sdl_;
    WindowSizing sizing_;
    double scale_;
    PointSize points_;
    WindowLifecycle lifecycle_;
    bool running_ = false;
    bool closed_ = false; // the user closed the window (or the session quit)
    bool redrawRequested_ = true;
    bool showAll_ = true; // the window lost its picture (shown, uncovered): show every pixel
    bool pointerDown_ = false;
    std::uint64_t lastFrameTicks_ = 0;
    std::vector<std::uint32_t> pixels_;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    std::uint64_t framesDrawn_ = 0;

    DrawHandler draw_;
    std::function<void(const PointerInput&)> pointer_;
    std::function<void(const WheelInput&)> wheel_;
    std::function<void(PhoneKey)> key_;
    std::function<void(ui::ScenePhase)> phase_;
    std::function<void(PointSize)> resize_;
    MainLoopHooks mainLoop_;
};

} // namespace qv::platform::window

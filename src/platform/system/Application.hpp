#pragma once
// The application as the phone's services see it: the idle timer, the main screen's
// native size, the scene's phase and the store-review request. The window host applies
// and sets what a window has; without a window the values are recorded, so code and tests
// run the same headless.
//
// Threads: safe to use from any thread; the idle-timer hook runs on the caller's thread.

#include <atomic>
#include <functional>
#include <mutex>

namespace qv::platform {

struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// active: shown and receiving input; inactive: shown without input; background: not shown.
enum class ApplicationState { active, inactive, background };

class Application {
public:
    // The app's one application.
    static Application& shared();

    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // While disabled the screen neither dims nor locks. Recorded, and handed to the hook.
    void setIdleTimerDisabled(bool disabled);
    bool isIdleTimerDisabled() const;
    // The window host's way of applying it; an empty function: none. Setting a hook applies
    // the recorded value at once. The hook runs under the application's lock: it must not
    // call back into the application.
    void setIdleTimerHook(std::function<void(bool disabled)> hook);

    // The main screen's size in pixels, portrait: 1170 x 2532 until the window host sets
    // its own.
    PixelSize nativeScreenSize() const;
    void setNativeScreenSize(PixelSize size);

    // Background until the window host reports its window.
    ApplicationState state() const { return state_.load(); }
    void setState(ApplicationState state) { state_.store(state); }

    // There is no app store to ask for a review: prints one line saying so.
    void requestReview();

private:
    mutable std::mutex mutex_; // guards the idle timer and its hook
    bool idleTimerDisabled_ = false;
    std::function<void(bool)> idleTimerHook_;
    std::atomic<int> nativeWidth_{1170}; // read by frame handlers off the main queue
    std::atomic<int> nativeHeight_{2532};
    std::atomic<ApplicationState> state_{ApplicationState::background};
};

} // namespace qv::platform

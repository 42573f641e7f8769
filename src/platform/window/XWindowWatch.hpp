#pragma once
// Turns the end of the window from outside the app into a close. Xlib's default handlers
// end the process (status 1) when a request names a window that another client destroyed
// (`xdotool windowclose`, XDestroyWindow) or when the server drops the connection
// (`xkill`, XKillClient); with the watch in place the first becomes "the window is gone"
// and the second "the display is lost", and the window host closes as for the close
// button, so the app takes its road out and saves what it shot.
//
// Errors about other resources still reach the handler installed before (Xlib's default:
// the message and status 1), as do all errors once the watch has ended. Once the display is
// lost every call on it returns at once, but calls that wait for an answer from the server
// (SDL's teardown of the window does) would wait for good: the owner then leaves SDL's video
// as it stands, and the process opens no other window.
//
// One watch per process, made before SDL opens the display (so SDL's own safety net, which
// restores the display mode and then calls the handler it found, calls this one) and ended
// after SDL has closed it, when the handlers found at the start come back. Outside X (a
// Wayland display) it watches nothing.

#include <SDL.h>

namespace qv::platform::window {

class XWindowWatch {
public:
    XWindowWatch();
    ~XWindowWatch();
    XWindowWatch(const XWindowWatch&) = delete;
    XWindowWatch& operator=(const XWindowWatch&) = delete;

    /// Watches `window` (and its display's connection) from now on.
    void watch(SDL_Window* window);
    /// Handles an SDL_SYSWMEVENT: a DestroyNotify of the watched window marks it gone.
    void onSystemEvent(const SDL_Event& event);
    /// The watched window was destroyed from outside, or its display's connection was lost
    /// (any thread).
    bool windowGone() const;
    /// The display's connection was lost (any thread).
    bool displayLost() const;

private:
    /// Reads the window's display and X window from SDL; false outside X.
    bool refresh();

    SDL_Window* window_ = nullptr;
};

} // namespace qv::platform::window

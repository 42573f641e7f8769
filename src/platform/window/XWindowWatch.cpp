#include "platform/window/XWindowWatch.hpp"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <atomic>

namespace qv::platform::window {

namespace {

// Xlib's handlers take no context: the one watch of the process keeps its state here.
// Atomics, because Xlib calls the handlers on whichever thread talks to the display.
std::atomic<XID> watchedWindow{0};
std::atomic<Display*> watchedDisplay{nullptr};
std::atomic<bool> gone{false};
std::atomic<bool> lost{false};
XErrorHandler previousErrorHandler = nullptr;
XIOErrorHandler previousIOErrorHandler = nullptr;

// A request on the watched window after another client destroyed it.
int onError(Display* display, XErrorEvent* error) {
    const XID window = watchedWindow.load();
    if (window != 0 && error->resourceid == window &&
        (error->error_code == BadWindow || error->error_code == BadDrawable)) {
        gone.store(true);
        return 0;
    }
    return previousErrorHandler(display, error);
}

// The watched display's connection is gone. Xlib then calls the display's exit handler
// (below) instead of exit(); every later call on the display returns at once.
int onIOError(Display* display) {
    if (display != watchedDisplay.load()) {
        return previousIOErrorHandler(display);
    }
    lost.store(true);
    return 0;
}

void onIOErrorExit(Display*, void*) {
    lost.store(true);
}

} // namespace

XWindowWatch::XWindowWatch() {
    gone.store(false);
    lost.store(false);
    previousErrorHandler = XSetErrorHandler(onError);
    previousIOErrorHandler = XSetIOErrorHandler(onIOError);
}

XWindowWatch::~XWindowWatch() {
    XSetErrorHandler(previousErrorHandler);
    watchedWindow.store(0);
    if (lost.load()) {
        return; // the dead display's calls keep returning quietly until the process ends
    }
    XSetIOErrorHandler(previousIOErrorHandler);
    watchedDisplay.store(nullptr);
}

void XWindowWatch::watch(SDL_Window* window) {
    window_ = window;
    if (!refresh()) {
        return;
    }
    XSetIOErrorExitHandler(watchedDisplay.load(), onIOErrorExit, nullptr);
    // The window's DestroyNotify comes through SDL as a system event.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

bool XWindowWatch::refresh() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window_ == nullptr || SDL_GetWindowWMInfo(window_, &info) != SDL_TRUE ||
        info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    watchedDisplay.store(info.info.x11.display);
    watchedWindow.store(info.info.x11.window);
    return true;
}

void XWindowWatch::onSystemEvent(const SDL_Event& event) {
    if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr ||
        event.syswm.msg->subsystem != SDL_SYSWM_X11) {
        return;
    }
    const XEvent& x = event.syswm.msg->msg.x11.event;
    // SDL may have made the window anew (a renderer that needs another visual), destroying
    // the one it had: only the end of the window it has now counts.
    if (x.type == DestroyNotify && refresh() && x.xdestroywindow.window == watchedWindow.load()) {
        gone.store(true);
    }
}

bool XWindowWatch::windowGone() const {
    return gone.load() || lost.load();
}

bool XWindowWatch::displayLost() const {
    return lost.load();
}

} // namespace qv::platform::window

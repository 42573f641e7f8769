#pragma once
// The whole app in its window under a private X server, launched through the entry function
// `main` calls (launchQuarnVesil) in a process of its own, and driven as a user drives it:
// clicks and keys through X (xdotool), the window closed as a window manager closes it. The
// test's script runs as the app's window loop (LaunchHooks::runWindow): it turns the loop
// step by step and moves the virtual clock between steps, so countdowns and runs take no
// real time.

#include "app/AppLaunch.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/geometry/Geometry.hpp"
#include "platform/ui/scene/Query.hpp"

#include <functional>
#include <string>
#include <vector>

namespace qv::testing {

class AppWindowDriver {
public:
    AppWindowDriver(AppSession& session, platform::VirtualDispatch& dispatch,
                    const platform::ConsoleCapture& console)
        : session_(session), dispatch_(dispatch), console_(console) {}

    // Turns the loop, `virtualStep` of virtual time a turn, until `condition` holds (at most
    // `turns` turns). False when it never held or the window closed.
    bool stepUntil(const std::function<bool()>& condition, double virtualStep = 0.05,
                   int turns = 1200);
    // Lets `seconds` of virtual time pass, turning the loop every `virtualStep`.
    void pass(double seconds, double virtualStep = 0.05);
    bool shows(const platform::ui::Query& query) const;
    // Whether what `query` finds stands inside the element tagged `tag`.
    bool showsWithin(const std::string& tag, const platform::ui::Query& query) const;
    // The built tree on screen (never before the first frame).
    const platform::ui::ViewTree& tree() const { return *session_.scene.tree(); }
    bool waitFor(const platform::ui::Query& query) {
        return stepUntil([&] { return shows(query); });
    }
    // Clicks the centre of what the query finds, through X; false when it is not shown.
    bool click(const platform::ui::Query& query);
    // Drags the pointer through X from one point of the window to another (in points).
    bool drag(platform::ui::Point from, platform::ui::Point to);
    // Scrolls the first scroll view inside the element tagged `area` until what `query`
    // finds lies within it (dragging a third of its height at a time), then clicks it.
    bool clickWithin(const std::string& area, const platform::ui::Query& query);
    // Presses a key through X ("1" ... "6", "plus").
    bool key(const std::string& name);
    // Stores the window's picture as docs/<name> (with QV_UPDATE_DOCS=1) once the frame on
    // screen was drawn from the current tree.
    void picture(const std::string& name);
    // Closes the window as a window manager does (WM_DELETE_WINDOW): the loop ends.
    bool closeWindow();
    // Ends the window from another X client with an xdotool command ("windowclose" destroys
    // it, "windowkill" kills the app's connection); true when the loop then ends.
    bool endWindowFromOutside(const std::string& command);

    // What the app printed on its console since this launch began.
    std::string printed() const { return console_.text(); }

    AppSession& session() { return session_; }
    CameraManager& camera() { return session_.app.cameraManager(); }

private:
    // Turns the loop until it ends (at most 500 turns).
    bool stepUntilClosed();

    AppSession& session_;
    platform::VirtualDispatch& dispatch_;
    const platform::ConsoleCapture& console_;
};

// Runs `phase` as one launch of the app in a child process (so each launch starts fresh, as
// a new start of the program does), with `arguments` and this process's environment. The
// child's expectations print as usual, and what the app printed follows when the launch has
// ended; returns the child's exit status, or 100 + the count
// of its failed expectations when the launch itself returned 0 but an expectation failed.
int launchInChild(const std::vector<std::string>& arguments,
                  const std::function<void(AppWindowDriver&)>& phase);

} // namespace qv::testing

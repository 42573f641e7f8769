#pragma once
// Pictures of the window for the docs: refreshed under docs/ only on request
// (QV_UPDATE_DOCS=1); otherwise written to a temporary file and removed (DocsPicture).

#include "DocsPicture.hpp"
#include "platform/window/WindowHost.hpp"
#include "platform/window/WindowScene.hpp"

#include <string>

namespace qv::testing {

class FramePicture {
public:
    // `name` is the picture's file name under docs/ ("window-host.png").
    explicit FramePicture(const std::string& name) : picture_(name) {}

    // Writes the window's last frame as PNG; false when that fails.
    bool write(const platform::window::WindowHost& host) const;
    // Draws the scene's current tree and writes that frame: a test that moves the clock
    // between turns of the loop reads a tree the window may not have drawn yet. Two frames
    // from the same tree, so the one on screen shows what the tree holds; false when a
    // frame rebuilt the tree anew (something still changes) or writing failed.
    bool writeCurrent(platform::window::WindowScene& scene,
                      platform::window::WindowHost& host) const;

private:
    DocsPicture picture_;
};

} // namespace qv::testing

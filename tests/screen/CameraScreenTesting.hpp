#pragma once
// The camera screen as the app shows it: CameraMainView over the real controller on the
// simulated phone, on the virtual clock, in a 390 x 844 scene with the window's insets at
// scale 3, driven by synthetic input.

#include "ScreenTesting.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "screen/CameraScreenShell.hpp"

#include <optional>
#include <string>

namespace qv::testing {

class CameraScreenTest : public SimulatedPhoneTest {
protected:
    // Starts the controller on the simulated phone and shows the screen.
    void show(const std::string& profileJson = smallSimulatedProfile(),
              platform::ui::SceneOptions options = qv::testing::phone());

    // The tree as it stands once every change so far is shown.
    const platform::ui::ViewTree& tree();
    const platform::ui::Element& get(const std::string& tag);
    const platform::ui::Element* find(const std::string& tag);
    bool shows(const std::string& tag) { return find(tag) != nullptr; }
    // The frame of the element tagged `tag`, as drawn.
    platform::ui::Rect frameOf(const std::string& tag);
    // The text of the first text inside the element tagged `tag`.
    std::string textIn(const std::string& tag);

    void tap(const std::string& tag);
    // A tap on the shutter in ready, then the clock runs until the run shoots (the camera
    // locks its focus and exposure first).
    void release();
    // Moves the clock on, then brings the screen up to date.
    void advance(double seconds);

    CameraScreenShell shell; // the app's views the screen shows (none unless a test sets them)
    std::optional<platform::ui::ViewGraph> graph;
    std::optional<platform::ui::SyntheticInput> input;
};

} // namespace qv::testing

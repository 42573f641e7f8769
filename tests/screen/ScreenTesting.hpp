#pragma once
// What the overlay tests share: the simulated phone under the real controller on the
// virtual clock, views built from the controller as the camera screen builds them, and
// readers of what the built views draw.

#include "RunTestSupport.hpp"
#include "camera/CameraManager.hpp"
#include "platform/capture/simulated/SimulatedCamera.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/graph/ViewGraph.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::testing {

// The simulated phone's wide camera with small frames, so runs and live frames stay quick
// on the virtual clock: photos 400 x 300, live frames 160 x 120.
std::string smallSimulatedProfile(bool autoFocus = true);

// A test with the controller on the simulated phone (RunTest's services: settings,
// permissions granted, photo library and folders in the test's home).
class SimulatedPhoneTest : public RunTest {
protected:
    // Installs the simulated phone the profile describes, seeing `cameraSource`, and starts
    // the controller on it.
    std::shared_ptr<CameraManager>
    startSimulated(const std::string& profileJson = smallSimulatedProfile());
    std::optional<platform::SimulatedCamera> simulated;
    std::string cameraSource = "synthetic"; // or a folder of recorded frames
};

// A view made from the controller at every build, as the camera screen makes its
// overlays; the graph that builds it observes the controller.
struct ControllerView {
    platform::ui::ObservedObject<CameraManager> camera;
    std::function<platform::ui::View(CameraManager&)> make;
    platform::ui::View body() const { return make(camera.get()); }
};

// The phone's screen: 390 x 844 points with the window's safe-area insets (47 at the top,
// 34 below).
platform::ui::SceneOptions phone();
// A scene of w x h points at scale 3, without insets.
platform::ui::SceneOptions sceneOf(double width, double height);

// What the shapes inside the element tagged `tag` draw, in drawing order.
std::vector<platform::ui::Element::ShapeInfo> shapesIn(const platform::ui::Element& root,
                                                       const std::string& tag);
std::vector<platform::ui::Element::ShapeInfo> shapesIn(const platform::ui::Element& root);

// The first and last point of a path.
platform::ui::Point startOf(const platform::ui::Path& path);
platform::ui::Point endOf(const platform::ui::Path& path);

} // namespace qv::testing

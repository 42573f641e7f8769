#pragma once
// The app offscreen, as it runs in its window: the real controller on the simulated
// phone's small wide camera, its settings, permissions and photo library in the test's
// home, the virtual clock, and the app's scene in a view graph on the phone's screen
// (390 x 844 points, insets 47 and 34), driven by synthetic input.

#include "CameraTestSupport.hpp"
#include "ScreenTesting.hpp"
#include "TreeReading.hpp"
#include "app/Quarn_Vesil.hpp"
#include "platform/capture/simulated/SimulatedCamera.hpp"
#include "platform/console/Console.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/scene/Query.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::testing {

class AppTest : public CameraTest {
protected:
    AppTest();
    ~AppTest() override;

    // Makes the app (its start-up runs) with the test's services and builds its scene.
    Quarn_Vesil& launch();
    // The app ends without its road out, as a process that is killed; its files stay.
    void end();
    // Ends the app and launches it again on the same files, as a new start reads them.
    Quarn_Vesil& relaunch();

    // Runs the queues until idle and brings the scene up to date.
    void settle();
    platform::ui::SyntheticInput input() { return {*graph, dispatch}; }
    const platform::ui::ViewTree& tree() { return graph->tree(); }
    bool shows(const platform::ui::Query& query);
    void tap(const platform::ui::Query& query) { input().tap(query); }
    CameraManager& controller() { return app->cameraManager(); }

    // The permissions of the launches that follow (PermissionScript.hpp); camera and Photos
    // granted until a test says otherwise.
    void withPermissions(const std::string& script);
    std::string permissionScript = ServicesUnderTest::grantedScript;

    // Answers every permission prompt the app shows with `allow`, recording each service
    // asked for.
    void answerPrompts(bool allow);
    std::vector<platform::PermissionService> prompts;

    platform::ConsoleCapture console;
    std::optional<platform::SimulatedCamera> simulated;
    std::unique_ptr<Quarn_Vesil> app;
    std::unique_ptr<platform::ui::ViewGraph> graph;
};

} // namespace qv::testing

#include "CameraScreenTesting.hpp"

#include "camera/CameraManager.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/CameraMainView.hpp"

#include <gtest/gtest.h>

namespace qv::testing {

using namespace platform::ui;

void CameraScreenTest::show(const std::string& profileJson, SceneOptions options) {
    startSimulated(profileJson);
    graph.emplace(
        [this] { return View(CameraMainView{.shell = shell}).environmentObject(*camera); },
        options);
    input.emplace(*graph, dispatch);
    graph->settle();
}

const ViewTree& CameraScreenTest::tree() {
    pump();
    graph->settle();
    return graph->tree();
}

const Element& CameraScreenTest::get(const std::string& tag) {
    return tree().get(Query::tag(tag));
}

const Element* CameraScreenTest::find(const std::string& tag) {
    return tree().find(Query::tag(tag));
}

Rect CameraScreenTest::frameOf(const std::string& tag) {
    return get(tag).screenFrame();
}

std::string CameraScreenTest::textIn(const std::string& tag) {
    const auto texts = findAll(get(tag), Query::kind("Text"));
    return texts.empty() ? std::string{} : texts.front()->text();
}

void CameraScreenTest::tap(const std::string& tag) {
    tree();
    input->tap(Query::tag(tag));
    graph->settle();
}

void CameraScreenTest::release() {
    tap("shutter");
    ASSERT_TRUE(dispatch.runUntil(
        [&] { return camera->cameraState.get() == CameraState::shooting; }, platform::Seconds(20)));
    graph->settle();
}

void CameraScreenTest::advance(double seconds) {
    wait(seconds);
    graph->settle();
}

} // namespace qv::testing

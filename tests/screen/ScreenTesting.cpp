#include "ScreenTesting.hpp"

#include <fstream>

namespace qv::testing {

using namespace platform::ui;

std::string smallSimulatedProfile(bool autoFocus) {
    return std::string(R"({"cameras": [{"type": "wide", "photoSize": [400, 300],
        "previewSize": [160, 120], "videoSize": [160, 120], "autoFocus": )") +
           (autoFocus ? "true" : "false") + "}]}";
}

std::shared_ptr<CameraManager> SimulatedPhoneTest::startSimulated(const std::string& profileJson) {
    const auto profile = home / "profile.json";
    std::ofstream(profile) << profileJson;
    platform::SimulatedCameraOptions options;
    options.source = cameraSource;
    options.profile = profile.string();
    simulated.emplace(platform::SimulatedCamera::make(options));
    cameras.clear();
    installation.reset();
    installation.emplace(
        platform::CaptureDeviceDiscovery::install(simulated->devices(), simulated->whyNoCamera()));
    return startCamera();
}

SceneOptions phone() {
    SceneOptions options;
    options.safeAreaInsets = {47, 0, 34, 0};
    return options;
}

SceneOptions sceneOf(double width, double height) {
    SceneOptions options;
    options.size = {width, height};
    return options;
}

std::vector<Element::ShapeInfo> shapesIn(const Element& root) {
    std::vector<Element::ShapeInfo> shapes;
    for (const Element* e : findAll(root, Query::kind("Shape"))) {
        shapes.push_back(*e->shapeInfo());
    }
    return shapes;
}

std::vector<Element::ShapeInfo> shapesIn(const Element& root, const std::string& tag) {
    std::vector<Element::ShapeInfo> shapes;
    for (const Element* tagged : findAll(root, Query::tag(tag))) {
        for (auto& shape : shapesIn(*tagged)) {
            shapes.push_back(std::move(shape));
        }
    }
    return shapes;
}

Point startOf(const Path& path) {
    return path.elements().front().p[0];
}

Point endOf(const Path& path) {
    const auto& last = path.elements().back();
    return last.op == Path::Op::curve ? last.p[2] : last.p[0];
}

} // namespace qv::testing

#include "OverlaysPage.hpp"

#include "DocsPicture.hpp"
#include "ScreenTesting.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace qv {
namespace {

using namespace platform::ui;
using platform::Acceleration;
using platform::DeviceOrientation;

class OverlaysPageTest : public testing::SimulatedPhoneTest {
protected:
    testing::LevelReading readLevel(DeviceOrientation orientation, Acceleration gravity) {
        phone.setOrientation(orientation);
        phone.setGravity(gravity);
        wait(0.5);
        return {camera->levelAngle(), camera->angleXY.get(), camera->angleXZ.get(),
                camera->angleYZ.get()};
    }
};

double rad(double degrees) {
    return degrees * std::numbers::pi / 180;
}

// The page is drawn to docs/screen-overlays.png on request (QV_UPDATE_DOCS=1), otherwise to
// a temporary file that is removed again.
TEST_F(OverlaysPageTest, ShowsEveryOverlayOverAFrameOfTheSimulatedCamera) {
    // The built-in live frames (1440 x 1080); smaller photos keep the run quick.
    startSimulated(R"({"cameras": [{"type": "wide", "photoSize": [1008, 756]}]})");
    testing::OverlaysPageValues values;
    values.preview = camera->cameraPreviewLayer.get();
    values.preview->setFrame({0, 0, 390, 520}); // the layer renders frames for a size
    camera->toggleHistogram();
    wait(3); // automatic exposure settles on the night scene
    ASSERT_TRUE(camera->histogram.get().has_value());
    values.histogram = *camera->histogram.get();

    camera->toggleSpiritLevel();
    values.upright = readLevel(DeviceOrientation::portrait,
                               {std::sin(rad(4)), -std::cos(rad(4)) * std::cos(rad(12)),
                                -std::cos(rad(4)) * std::sin(rad(12))});
    values.flat = readLevel(DeviceOrientation::faceUp, {-0.12, 0.08, -1});

    // The result of a single frame, taken upright.
    camera->toggleSpiritLevel();
    phone.setGravity(std::nullopt);
    phone.setOrientation(DeviceOrientation::portrait);
    camera->updateDeviceOrientation();
    plan(0, SupportedImageFormat::JPEG);
    press();
    wait(5);
    values.result = camera->resultUIImage.get();
    ASSERT_NE(values.result, nullptr);

    SceneOptions options =
        testing::sceneOf(testing::kOverlaysPageWidth, testing::kOverlaysPageHeight);
    options.scale = 2;
    const ViewTree tree(testing::overlaysPage(values), options);
    const Rect page{0, 0, testing::kOverlaysPageWidth, testing::kOverlaysPageHeight};
    for (const char* tag :
         {"grid 3 x 3", "golden ratio", "grid 4 x 4", "level upright", "level flat", "histogram",
          "focus and message", "lens scale", "result cover"}) {
        const Rect r = tree.get(Query::tag(tag)).screenFrame();
        EXPECT_TRUE(r.minX() >= 0 && r.minY() >= 0 && r.maxX() <= page.maxX() &&
                    r.maxY() <= page.maxY())
            << tag << " lies on the page";
    }

    const testing::DocsPicture picture("screen-overlays.png");
    ASSERT_TRUE(tree.writePng(picture.path()));
}

} // namespace
} // namespace qv

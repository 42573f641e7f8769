// The camera screen's frame: its regions and layout unit, the thumbnail, the message and
// histogram boxes, and what the scene phase does.

#include "screen/CameraMainView.hpp"

#include "CameraScreenTesting.hpp"
#include "camera/CameraManager.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/system/AppInfo.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/preview/PreviewStackView.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using testing::CameraScreenTest;

constexpr double kWide = 390.0 / 31; // the unit of a 390 x 844 phone

class CameraMainViewTest : public CameraScreenTest {
protected:
    // The blur over the live picture.
    double previewBlur() {
        for (const Element* e = &get("camera preview"); e != nullptr; e = e->parent()) {
            if (const auto radius = e->blurRadius()) {
                return *radius;
            }
        }
        return -1;
    }
    // The side of the settings button's ground: 4 units.
    double buttonSide() {
        return findAll(get("gear"), Query::kind("Shape")).front()->frame().width;
    }
    // Shoots one run of `durationIndex` (no delay) and waits until it is saved.
    void shootRun(std::int64_t durationIndex) {
        plan(durationIndex, SupportedImageFormat::JPEG);
        tap("shutter");
        ASSERT_TRUE(dispatch.runUntil(
            [&] {
                return camera->cameraState.get() == CameraState::ready &&
                       camera->resultUIImage.get() != nullptr;
            },
            platform::Seconds(30)));
        graph->settle();
    }
};

TEST_F(CameraMainViewTest, RegionsFollowTheSafeAreaAndTheUnitIsTheSmallerOfTwo) {
    show();
    EXPECT_EQ(frameOf("preview"), (Rect{0, 47, 390, 520}));
    EXPECT_EQ(frameOf("lower region").height, 763 - 520);
    EXPECT_NEAR(buttonSide(), 4 * kWide, 1e-9);
    tap("ISO readout");
    EXPECT_EQ(frameOf("selector host"), (Rect{0, 810 - 390, 390, 390}));

    // A short window: 16 units under the preview.
    SceneOptions shortWindow = testing::phone();
    shortWindow.size = {390, 700};
    graph->setOptions(shortWindow);
    const double unit = (700 - 47 - 34 - 520) / 16.0;
    EXPECT_NEAR(buttonSide(), 4 * unit, 1e-9) << "measured again after the resize";
    EXPECT_EQ(frameOf("selector host"), (Rect{0, 700 - 34 - 390, 390, 390}));
}

TEST_F(CameraMainViewTest, BeforeTheFirstAppearanceEverySizeIsZero) {
    startSimulated();
    const ViewTree unmeasured(View(CameraMainView{}).environmentObject(*camera), testing::phone());
    EXPECT_EQ(
        findAll(unmeasured.get(Query::tag("gear")), Query::kind("Shape")).front()->frame().width,
        0);
    EXPECT_EQ(unmeasured.get(Query::tag("lower region")).frame().height, 0);
}

TEST_F(CameraMainViewTest, TheThumbnailOpensTheResultOnlyWhenThereIsOneAndNoRunShoots) {
    show();
    tap("thumbnail");
    EXPECT_FALSE(camera->showResultImage.get()) << "no result yet";
    EXPECT_FALSE(shows("thumbnail picture")) << "the library is empty";

    shootRun(2);
    EXPECT_TRUE(shows("thumbnail picture"));
    plan(5, SupportedImageFormat::JPEG);
    release();
    EXPECT_FALSE(shows("thumbnail picture")) << "shown only while ready";
    tap("thumbnail");
    EXPECT_FALSE(camera->showResultImage.get()) << "never while shooting";
    ASSERT_TRUE(dispatch.runUntil(
        [&] {
            return camera->cameraState.get() == CameraState::ready &&
                   camera->resultUIImage.get() != nullptr;
        },
        platform::Seconds(30)));
    tap("thumbnail");
    EXPECT_TRUE(camera->showResultImage.get());
    EXPECT_TRUE(shows("result close"));
    tap("result close");
    EXPECT_FALSE(camera->showResultImage.get());
    EXPECT_FALSE(shows("result close"));
}

TEST_F(CameraMainViewTest, TheMessageBoxShowsForItsTimeAtTheBottomOfThePreview) {
    show();
    tap("format badge");
    ASSERT_TRUE(shows("message"));
    EXPECT_EQ(textIn("message place"), "TIFF"); // after JPEG
    const Rect box = frameOf("message");
    EXPECT_NEAR(box.midX(), 195, 1e-6);
    advance(1.4);
    EXPECT_TRUE(shows("message"));
    advance(0.1);
    EXPECT_FALSE(shows("message")) << "1.5 s";
}

// Without a camera the screen says why in the message box, for as long as the state lasts;
// a message of the controller's own shows over it for its time.
TEST_F(CameraMainViewTest, WithoutACameraTheMessageBoxSaysWhyForAsLongAsTheStateLasts) {
    // Every recorded frame is 640x480 where the camera takes 400x300: no usable frame.
    const auto frames = home / "frames";
    std::filesystem::create_directories(frames);
    const auto jpeg = platform::imaging::encodeJpeg(platform::RgbaImage(640, 480, 8), 90, {});
    ASSERT_TRUE(jpeg);
    std::ofstream(frames / "frame.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg->data()), std::streamsize(jpeg->size()));
    cameraSource = frames.string();
    show();
    ASSERT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);
    EXPECT_EQ(textIn("message place"), "No usable recorded frame of 400x300.");
    advance(60);
    EXPECT_EQ(textIn("message place"), "No usable recorded frame of 400x300.") << "it stays";

    tap("format badge");
    EXPECT_EQ(textIn("message place"), "TIFF");
    advance(1.5);
    EXPECT_EQ(textIn("message place"), "No usable recorded frame of 400x300.");

    // A phone without a camera and without a word why.
    installation.reset();
    installation.emplace(platform::CaptureDeviceDiscovery::install({}));
    graph->invalidate();
    EXPECT_EQ(textIn("message place"), "No camera found.");

    // Access refused: to the camera, or (the camera granted) to the photo library.
    camera->isCameraAuthorized = false;
    camera->cameraState = CameraState::cameraNotAllowed;
    EXPECT_EQ(textIn("message place"), "Access to the camera was refused.");
    camera->isCameraAuthorized = true;
    EXPECT_EQ(textIn("message place"), "Access to the photo library was refused.");
}

TEST_F(CameraMainViewTest, WithACameraThatCannotBeStartedTheBoxSaysSoAndGoesWhenItIsReady) {
    show();
    EXPECT_FALSE(shows("message"));
    camera->cameraState = CameraState::noRAWCamera; // as after a setup that failed
    EXPECT_EQ(textIn("message place"), "The camera could not be started.");
    camera->cameraState = CameraState::ready;
    EXPECT_FALSE(shows("message"));
}

TEST_F(CameraMainViewTest, TheHistogramBoxSitsAtTheBottomAndRisesAboveAnOpenISOSelector) {
    show();
    tap("histogram button");
    advance(0.5); // live frames measured
    ASSERT_TRUE(shows("histogram box"));
    const Rect box = frameOf("histogram box");
    EXPECT_NEAR(box.width, 0.85 * 390, 1e-6);
    EXPECT_NEAR(box.height, 0.25 * 390, 1e-6);
    EXPECT_NEAR(box.maxY(), 47 + 520 - 16, 1e-6) << "default padding under it";

    tap("ISO readout");
    const double rise = 763 - 7 * 390 / 3.0;
    EXPECT_NEAR(frameOf("histogram box").maxY(), box.maxY() + rise, 1e-6);
    EXPECT_LT(frameOf("histogram box").maxY(), frameOf("selector host").minY());

    using platform::DeviceOrientation;
    const Size screen{390, 763};
    EXPECT_EQ(PreviewStackView::histogramLift(DeviceOrientation::landscapeLeft, screen, true),
              rise / 2);
    EXPECT_EQ(PreviewStackView::histogramLift(DeviceOrientation::portraitUpsideDown, screen, true),
              0);
    EXPECT_EQ(PreviewStackView::histogramLift(DeviceOrientation::portrait, screen, false), 0);
}

TEST_F(CameraMainViewTest, TheAppsViewsShowWhereAndWhileTheScreenSays) {
    Size settingsSize;
    double iconSize = 0;
    double selectorRotation = -1;
    shell.whatsNew = [] { return Text("what is new"); };
    shell.settings = [&](platform::Binding<bool> isPresented, Size size, double icon, Color) {
        settingsSize = size;
        iconSize = icon;
        return View(Text("settings")).onTapGesture([isPresented] { isPresented.set(false); });
    };
    shell.sequenceModeSelector = [&](platform::Binding<bool> isShowing, double rotation) {
        selectorRotation = rotation;
        return View(Rectangle().fill(Color::blue()))
            .onTapGesture([isShowing] { isShowing.set(false); })
            .testTag("mode selector");
    };
    settingsStore->store().set("lastLaunchedVersion", std::string("0.0.1"));
    show();
    ASSERT_TRUE(camera->showWhatsNewView.get());
    EXPECT_TRUE(tree().find(Query::text("what is new")));
    camera->saveLastLaunchedVersion();
    EXPECT_FALSE(tree().find(Query::text("what is new")));

    tap("gear");
    ASSERT_NE(tree().find(Query::text("settings")), nullptr);
    EXPECT_EQ(settingsSize, (Size{390, 763}));
    EXPECT_NEAR(iconSize, 3 * kWide, 1e-9);
    input->tap(Query::text("settings"));
    EXPECT_EQ(tree().find(Query::text("settings")), nullptr) << "closed through its binding";

    camera->deviceOrientation = platform::DeviceOrientation::landscapeLeft;
    tap("mode badge");
    ASSERT_TRUE(shows("mode selector"));
    EXPECT_EQ(selectorRotation, M_PI / 2);
    EXPECT_TRUE(shows("lower region veil"));
    EXPECT_LE(frameOf("mode selector").width, 390);
    tap("mode selector");
    EXPECT_FALSE(shows("mode selector"));
    EXPECT_FALSE(shows("lower region veil"));
}

TEST_F(CameraMainViewTest, TheBackgroundBlursThePreviewSavesTheRunAndSwitchesTheMagnifierOff) {
    show();
    graph->setScenePhase(ScenePhase::active);
    graph->settle();
    advance(2);
    EXPECT_EQ(previewBlur(), 0) << "the first active phase changes nothing";

    tap("magnifier button");
    ASSERT_TRUE(camera->activeOverlayViews->contains(ActiveOverlayViews::magnifier));
    graph->setScenePhase(ScenePhase::background);
    graph->settle();
    EXPECT_FALSE(camera->activeOverlayViews->contains(ActiveOverlayViews::magnifier));
    EXPECT_TRUE(camera->wasBackgoundedBefore.get());
    EXPECT_EQ(settingsStore->store().stringValue("lastLaunchedVersion"), platform::appVersion());
    EXPECT_EQ(previewBlur(), 75);

    graph->setScenePhase(ScenePhase::active);
    graph->settle();
    advance(0.9);
    EXPECT_EQ(previewBlur(), 75);
    advance(0.1);
    EXPECT_EQ(previewBlur(), 0) << "a second after";
    EXPECT_FALSE(camera->activeOverlayViews->contains(ActiveOverlayViews::magnifier));
    plan(13, SupportedImageFormat::JPEG); // 30 s
    release();
    advance(3); // frames merged
    graph->setScenePhase(ScenePhase::inactive);
    graph->settle();
    advance(1);
    EXPECT_EQ(camera->cameraState.get(), CameraState::shooting) << "focus lost does nothing";
    graph->setScenePhase(ScenePhase::background);
    graph->settle();
    ASSERT_TRUE(dispatch.runUntil([&] { return documents().size() == 1; }, platform::Seconds(10)));
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
}

} // namespace
} // namespace qv

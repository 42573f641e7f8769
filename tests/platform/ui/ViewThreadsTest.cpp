// The view layer's cross-thread parts on real threads (for ThreadSanitizer): a preview
// layer's frames asking for draws from the rendering thread while the scene draws and
// the window changes its handler, its frames prepared on the host's queue while the main
// thread draws them, and one picture drawn on two threads at once.

#include "Arrivals.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/ui/drawing/ImageBitmaps.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/layers/PreviewLayerHost.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>
#include <thread>

namespace qv::platform::ui {
namespace {

using qv::testing::Arrivals;

// A session of an in-memory camera with 80 x 60 live frames, 30 a second once it runs.
std::shared_ptr<CaptureSession> smallCameraSession() {
    CaptureDeviceState small;
    small.activeFormat.previewDimensions = {80, 60};
    small.formats = {small.activeFormat};
    auto session = std::make_shared<CaptureSession>();
    session->addInput(CaptureDeviceInput::make(std::make_shared<InMemoryCaptureDevice>(small)));
    return session;
}

// A 60 x 80 scene at one pixel a point.
SceneOptions smallScene() {
    SceneOptions options;
    options.size = {60, 80};
    options.scale = 1;
    return options;
}

TEST(ViewThreads, LayerFramesAskForDrawsWhileTheSceneDrawsAndTheHandlerChanges) {
    auto session = smallCameraSession();
    auto layer = CaptureVideoPreviewLayer::make(session);
    layer->setFrame({0, 0, 60, 80});
    ViewGraph graph([&] { return PreviewLayerHost(layer); }, smallScene());
    Arrivals first, second;
    graph.setDisplayHandler([&] { first.add(); });
    graph.update();
    session->startRunning();

    std::vector<std::uint32_t> pixels(60 * 80);
    ASSERT_TRUE(first.waitFor(3));
    for (int i = 0; i < 5; ++i) {
        graph.renderInto(pixels.data(), 60, 80, 60 * 4);
    }
    graph.setDisplayHandler([&] { second.add(); });
    ASSERT_TRUE(second.waitFor(3));
    graph.renderInto(pixels.data(), 60, 80, 60 * 4);
    EXPECT_NE(pixels[40 * 60 + 30] & 0xffffffu, 0u) << "a frame of the camera";
    graph.setDisplayHandler(nullptr);
    session->stopRunning();
}

// Frames prepared on the host's queue as they arrive, while the main thread draws the
// prepared pictures into its kept frame and the host changes size (a new placement).
TEST(ViewThreads, LiveFramesArePreparedOnTheirQueueWhileTheMainThreadDrawsThem) {
    auto session = smallCameraSession();
    auto layer = CaptureVideoPreviewLayer::make(session);
    layer->setFrame({0, 0, 60, 80});
    double side = 60;
    ViewGraph graph([&] { return PreviewLayerHost(layer).frame(side, side * 4 / 3); },
                    smallScene());
    Arrivals drawsAsked;
    graph.setDisplayHandler([&] { drawsAsked.add(); });
    graph.update();
    session->startRunning();

    std::vector<std::uint32_t> pixels(60 * 80);
    graph.renderChanges(pixels.data(), 60, 80, 60 * 4, true);
    for (int round = 1; round <= 12; ++round) {
        ASSERT_TRUE(drawsAsked.waitFor(round));
        if (round % 4 == 0) {
            side = side == 60 ? 45 : 60;
            graph.invalidate();
        }
        graph.update();
        graph.renderChanges(pixels.data(), 60, 80, 60 * 4, false);
    }
    EXPECT_NE(pixels[40 * 60 + 30] & 0xffffffu, 0u) << "a frame of the camera";
    graph.setDisplayHandler(nullptr);
    session->stopRunning();
}

TEST(ViewThreads, OnePictureDrawnOnTwoThreadsIsConvertedOnce) {
    auto picture = std::make_shared<const RgbaImage>(400, 300, 16, ColorSpace::displayP3);
    const auto draw = [&] {
        SceneOptions options;
        options.size = {100, 75};
        options.scale = 1;
        ViewTree(Image(picture).resizable(), options).render();
    };
    std::thread other(draw);
    draw();
    other.join();
    EXPECT_EQ(bitmapOf(picture).pixels(), bitmapOf(picture).pixels());
}

} // namespace
} // namespace qv::platform::ui

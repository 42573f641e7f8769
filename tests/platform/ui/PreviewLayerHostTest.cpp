// The capture preview layer in a view tree: frames drawn turned upright at draw time,
// a redraw without a rebuild for each new frame, the layer's frame following the host.

#include "platform/ui/layers/PreviewLayerHost.hpp"

#include "TestScenes.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/graph/HitTest.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

using testing::scene;

using testing::kBlue, testing::kGreen, testing::kRed, testing::kWhite;

// A landscape 'BGRA' frame of 4 x 3 pixels: red, green at the top corners, blue, white
// at the bottom ones, grey between.
std::shared_ptr<PixelBuffer> cornersFrame() {
    auto frame = PixelBuffer::make(4, 3, pixelformat::bgra32);
    for (std::size_t y = 0; y < 3; ++y) {
        std::fill_n(frame->row<std::uint32_t>(y), 4, 0xff808080u);
    }
    frame->row<std::uint32_t>(0)[0] = kRed;
    frame->row<std::uint32_t>(0)[3] = kGreen;
    frame->row<std::uint32_t>(2)[0] = kBlue;
    frame->row<std::uint32_t>(2)[3] = kWhite;
    return frame;
}

class PreviewLayerHostTest : public ::testing::Test {
protected:
    VirtualDispatch dispatch;
    std::shared_ptr<CaptureSession> session = std::make_shared<CaptureSession>();
    std::shared_ptr<CaptureVideoPreviewLayer> layer = CaptureVideoPreviewLayer::make(session);

    void SetUp() override {
        CaptureDeviceState small;
        small.activeFormat.previewDimensions = {80, 60};
        small.formats = {small.activeFormat};
        session->addInput(CaptureDeviceInput::make(std::make_shared<InMemoryCaptureDevice>(small)));
        session->startRunning();
    }
};

TEST_F(PreviewLayerHostTest, TheLandscapeFrameIsDrawnTurnedUprightIntoThePortraitHost) {
    layer->present(cornersFrame());
    // (u, v) of the frame lands at (w (1 - v), h u) of the 3 x 4 host.
    const RenderedImage picture = ViewTree(PreviewLayerHost(layer), scene(3, 4, 1)).render();
    EXPECT_EQ(picture.at(2, 0), kRed);
    EXPECT_EQ(picture.at(2, 3), kGreen);
    EXPECT_EQ(picture.at(0, 0), kBlue);
    EXPECT_EQ(picture.at(0, 3), kWhite);
    EXPECT_EQ(layer->frame(), (CaptureRect{})) << "a tree built alone leaves the layer alone";
}

TEST_F(PreviewLayerHostTest, TheLayerTakesTheHostsBoundsOneMainQueueTurnAfterEachUpdate) {
    double height = 520;
    ViewGraph graph([&] {
        return VStack({PreviewLayerHost(layer).frame(390, height), Spacer()},
                      HorizontalAlignment::center, 0);
    });
    graph.update();
    EXPECT_EQ(layer->frame(), (CaptureRect{})) << "not before the layout stands";
    dispatch.runUntilIdle();
    EXPECT_EQ(layer->frame(), (CaptureRect{0, 0, 390, 520}));

    height = 292.5;
    graph.invalidate();
    graph.update();
    dispatch.runUntilIdle();
    EXPECT_EQ(layer->frame(), (CaptureRect{0, 0, 390, 292.5}));
}

TEST_F(PreviewLayerHostTest, NewFramesAskForADrawWithoutARebuildWhileTheHostIsThere) {
    bool shown = true;
    ViewGraph graph(
        [&] { return If(shown, [&] { return PreviewLayerHost(layer).frame(390, 520); }); },
        scene(390, 844, 1));
    std::atomic<int> draws{0};
    graph.setDisplayHandler([&] { ++draws; });
    graph.update();
    const int rebuilds = graph.rebuilds();
    dispatch.runFor(Seconds(1));
    EXPECT_GE(draws.load(), 25) << "about 30 frames a second";
    EXPECT_EQ(graph.rebuilds(), rebuilds);
    EXPECT_FALSE(graph.needsUpdate());

    // The drawn picture is the latest frame: the in-memory camera's grey, not black.
    std::vector<std::uint32_t> pixels(390 * 844);
    graph.renderInto(pixels.data(), 390, 844, 390 * 4);
    EXPECT_NE(pixels[422 * 390 + 195] & 0xffffffu, 0u);

    shown = false;
    graph.invalidate();
    graph.update();
    draws = 0;
    dispatch.runFor(Seconds(1));
    EXPECT_EQ(draws.load(), 0) << "once the host has left";
}

TEST_F(PreviewLayerHostTest, TheHostIsBlurredFadedAndHitLikeAnyView) {
    // A layer of a session that is not running keeps the frame given here.
    auto still = CaptureVideoPreviewLayer::make(std::make_shared<CaptureSession>());
    still->present(cornersFrame());
    int taps = 0;
    double opacity = 0.01;
    ViewGraph graph(
        [&] {
            return PreviewLayerHost(still).blur(2).opacity(opacity).frame(30, 40).onTapGesture(
                [&] { ++taps; });
        },
        scene(30, 40, 1));
    graph.update();
    SyntheticInput(graph, dispatch).tap(Point{15, 20});
    EXPECT_EQ(taps, 1) << "hit at opacity 0.01";

    const auto brightness = [&graph] {
        std::vector<std::uint32_t> pixels(30 * 40);
        graph.renderInto(pixels.data(), 30, 40, 30 * 4);
        return (pixels[20 * 30 + 15] >> 8) & 0xffu;
    };
    EXPECT_LE(brightness(), 3u) << "nearly transparent over black";
    opacity = 1;
    graph.invalidate();
    graph.update();
    EXPECT_NEAR(double(brightness()), 128, 3) << "the grey middle, blurred";
}

TEST_F(PreviewLayerHostTest, ALaterDifferentLayerIsNotSwappedIn) {
    auto shown = layer;
    ViewGraph graph([&] { return PreviewLayerHost(shown).frame(60, 80); }, scene(60, 80, 1));
    graph.update();
    dispatch.runUntilIdle();
    auto later = CaptureVideoPreviewLayer::make(session);
    later->present(cornersFrame());
    shown = later;
    graph.invalidate();
    graph.update();
    dispatch.runUntilIdle();
    EXPECT_EQ(later->frame(), (CaptureRect{})) << "the first layer stays";
    EXPECT_EQ(layer->frame(), (CaptureRect{0, 0, 60, 80}));
}

} // namespace
} // namespace qv::platform::ui

#include "screen/overlays/CameraPreviewView.hpp"

#include "ScreenTesting.hpp"
#include "platform/ui/views/Views.hpp"

#include <atomic>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;

class CameraPreviewViewTest : public testing::SimulatedPhoneTest {};

TEST_F(CameraPreviewViewTest, TheLayerFollowsTheHostAndItsFramesArriveWithoutRebuilds) {
    startSimulated();
    const auto layer = camera->cameraPreviewLayer.get();
    ASSERT_NE(layer, nullptr);
    double height = 520;
    ViewGraph graph(
        [&] {
            return View(testing::ControllerView{
                *camera, [&height](CameraManager& c) -> View {
                    return VStack(
                        {View(CameraPreviewView{c.cameraPreviewLayer.get()}).frame(390, height),
                         Spacer()},
                        HorizontalAlignment::center, 0);
                }});
        },
        testing::phone());
    std::atomic<int> draws{0};
    graph.setDisplayHandler([&] { ++draws; });
    graph.update();
    EXPECT_EQ(layer->frame(), (platform::CaptureRect{})) << "not before the layout stands";
    dispatch.runUntilIdle();
    EXPECT_EQ(layer->frame(), (platform::CaptureRect{0, 0, 390, 520}));

    height = 292.5;
    graph.invalidate();
    graph.update();
    dispatch.runUntilIdle();
    EXPECT_EQ(layer->frame(), (platform::CaptureRect{0, 0, 390, 292.5}));

    graph.settle();
    const int rebuilds = graph.rebuilds();
    std::atomic<int> frames{0};
    const auto counting = layer->onFrameArrived([&] { ++frames; });
    draws = 0;
    wait(1);
    // The night scene exposes up to 1/10 s a frame under automatic exposure.
    EXPECT_GE(frames.load(), 8);
    EXPECT_EQ(draws.load(), frames.load()) << "a drawing for every frame";
    EXPECT_EQ(graph.rebuilds(), rebuilds) << "no rebuild for a frame";

    // The frame drawn is the simulated night: the host's area is not black.
    std::vector<std::uint32_t> pixels(390 * 844);
    graph.renderInto(pixels.data(), 390, 844, 390 * 4);
    std::uint64_t sum = 0;
    for (int y = 47; y < 47 + 292; ++y) {
        for (int x = 0; x < 390; ++x) {
            sum += pixels[std::size_t(y * 390 + x)] & 0xffu;
        }
    }
    EXPECT_GT(sum, 0u);
}

} // namespace
} // namespace qv

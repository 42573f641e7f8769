// The camera screen drawn as the window draws it, into one buffer and only what changed:
// at rest each live frame is drawn into the preview once and nothing else is drawn; an
// overlay switched, the phone turned and a setting changed draw what they change; and every
// frame holds the pixels the whole screen drawn anew gives.

#include "CameraScreenTesting.hpp"
#include "camera/CameraManager.hpp"
#include "platform/ui/graph/ViewGraph.hpp"

#include <atomic>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using testing::CameraScreenTest;

constexpr int kWidth = 390 * 3, kHeight = 844 * 3;

class CameraScreenFramesTest : public CameraScreenTest {
protected:
    void SetUp() override {
        show();
        graph->setDisplayHandler([this] { ++requests; });
        next();
    }

    // Brings the screen up to date and draws what changed since the last frame.
    std::vector<PixelRect> next() {
        pump();
        graph->settle();
        const bool fresh = pixels.empty();
        if (fresh) {
            pixels.assign(std::size_t(kWidth) * kHeight, 0xff000000u);
        }
        return graph->renderChanges(pixels.data(), kWidth, kHeight, kWidth * 4, fresh);
    }
    // The pixels of the kept frame that differ from the whole screen drawn anew.
    int pixelsOff() {
        std::vector<std::uint32_t> whole(pixels.size(), 0xff000000u);
        graph->renderInto(whole.data(), kWidth, kHeight, kWidth * 4);
        int off = 0;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            off += whole[i] != pixels[i] ? 1 : 0;
        }
        return off;
    }
    // Whether every rectangle lies within the element tagged `tag` (a pixel around it).
    bool within(const std::vector<PixelRect>& rects, const std::string& tag) {
        const Rect f = frameOf(tag);
        for (const PixelRect& r : rects) {
            if (r.x < f.minX() * 3 - 1 || r.y < f.minY() * 3 - 1 ||
                r.x + r.width > f.maxX() * 3 + 1 || r.y + r.height > f.maxY() * 3 + 1) {
                return false;
            }
        }
        return true;
    }

    std::vector<std::uint32_t> pixels;
    std::atomic<int> requests{0};
};

TEST_F(CameraScreenFramesTest, AtRestEachLiveFrameIsDrawnOnceIntoThePreviewAndNothingElse) {
    advance(2); // the automatic exposure settles
    next();
    requests = 0;
    int drawn = 0;
    for (int turn = 0; turn < 40; ++turn) {
        wait(0.05);
        const int asked = requests.exchange(0);
        const auto rects = next();
        EXPECT_EQ(rects.empty(), asked == 0) << "a frame for each live frame, none without";
        drawn += rects.empty() ? 0 : 1;
        EXPECT_TRUE(within(rects, "camera preview")) << "turn " << turn;
    }
    // The night scene exposes up to 1/10 s a frame under automatic exposure.
    EXPECT_GE(drawn, 15);
    EXPECT_EQ(pixelsOff(), 0);
}

TEST_F(CameraScreenFramesTest, AnOverlaySwitchedThePhoneTurnedAndASettingChangedDrawWhatChanged) {
    tap("grid button");
    ASSERT_TRUE(shows("grid"));
    EXPECT_FALSE(next().empty());
    EXPECT_EQ(pixelsOff(), 0) << "the grid over the preview";

    camera->deviceOrientation = platform::DeviceOrientation::landscapeLeft;
    EXPECT_FALSE(next().empty());
    EXPECT_EQ(pixelsOff(), 0) << "the badges and buttons turned";

    tap("format badge");
    EXPECT_FALSE(next().empty());
    EXPECT_EQ(pixelsOff(), 0) << "the format badge";

    tap("histogram button");
    advance(0.5); // live frames measured
    ASSERT_TRUE(shows("histogram box"));
    next();
    EXPECT_EQ(pixelsOff(), 0) << "the histogram";
    for (int turn = 0; turn < 5; ++turn) {
        wait(0.1);
        EXPECT_TRUE(within(next(), "camera preview")) << "the histogram follows in the preview";
    }
    EXPECT_EQ(pixelsOff(), 0);

    tap("magnifier button");
    advance(0.5);
    ASSERT_TRUE(shows("magnifier box"));
    next();
    for (int turn = 0; turn < 5; ++turn) {
        wait(0.1);
        next();
    }
    EXPECT_EQ(pixelsOff(), 0) << "the magnifier";
}

} // namespace
} // namespace qv

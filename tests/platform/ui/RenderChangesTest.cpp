// Drawing only what changed (ViewGraph::renderChanges) into a buffer that keeps the last
// frame: a rebuild that changes nothing draws nothing; one that changes a view draws its
// rectangle only; a live layer's new frame draws its host, once the picture is prepared off
// the main thread; and every part drawn again holds the pixels the whole frame gives,
// blurs, shadows, clips, opacity groups and scroll views around it included.

#include "KeptFrame.hpp"
#include "SolidFrame.hpp"
#include "TestScenes.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/layers/PreviewLayerHost.hpp"
#include "platform/ui/views/Views.hpp"

#include <atomic>
#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

using qv::testing::solidFrame;
using testing::KeptFrame, testing::kRed, testing::kWhite;

bool within(const std::vector<PixelRect>& rects, const PixelRect& area) {
    for (const PixelRect& r : rects) {
        if (r.x < area.x || r.y < area.y || r.x + r.width > area.x + area.width ||
            r.y + r.height > area.y + area.height) {
            return false;
        }
    }
    return true;
}

TEST(RenderChanges, ARebuildThatChangesNothingDrawsNothing) {
    VirtualDispatch dispatch;
    ViewGraph graph(
        [] {
            return VStack({Text("Total Time").shadow(Color::black(), 2),
                           RoundedRectangle(8, RoundedCornerStyle::continuous)
                               .stroke(Color::white(), 2)
                               .frame(80, 40),
                           Image::system("gear"), View(Color::red()).frame(30, 30).blur(3)});
        },
        testing::scene(200, 300, 2));
    KeptFrame frame(graph, 400, 600);
    EXPECT_EQ(frame.next(), (std::vector<PixelRect>{{0, 0, 400, 600}})) << "the first: all";
    for (int i = 0; i < 5; ++i) {
        graph.invalidate();
        EXPECT_TRUE(frame.next().empty());
    }
    EXPECT_EQ(frame.pixelsOff(), 0);
}

TEST(RenderChanges, AChangedViewIsDrawnAgainInItsOwnRectangleOnly) {
    VirtualDispatch dispatch;
    bool lit = false;
    std::string readout = "3072";
    ViewGraph graph(
        [&] {
            return VStack(
                {Text("ISO").testTag("label"), Text(readout).monospacedDigit().testTag("readout"),
                 Circle().fill(lit ? Color::yellow() : Color::gray()).frame(40, 40).testTag("lamp"),
                 Spacer()},
                HorizontalAlignment::center, 20);
        },
        testing::scene(200, 300, 2));
    KeptFrame frame(graph, 400, 600);
    frame.next();

    readout = "6400";
    graph.invalidate();
    const Rect text = graph.tree().get(Query::tag("readout")).screenFrame();
    auto drawn = frame.next();
    ASSERT_FALSE(drawn.empty());
    // The text's frame and what its glyphs may reach past it: half its font's size.
    const Rect reach = text.insetBy(-9, -9);
    EXPECT_TRUE(within(drawn, {int(reach.x * 2), int(reach.y * 2), int(reach.width * 2) + 2,
                               int(reach.height * 2) + 2}))
        << "around the readout";
    const Rect lampFrame = graph.tree().get(Query::tag("lamp")).screenFrame();
    for (const PixelRect& r : drawn) {
        EXPECT_LE(r.y + r.height, lampFrame.y * 2) << "not down to the lamp";
    }
    EXPECT_EQ(frame.pixelsOff(), 0);

    lit = true;
    graph.invalidate();
    const Rect lamp = graph.tree().get(Query::tag("lamp")).screenFrame();
    drawn = frame.next();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_TRUE(within(drawn, {int(lamp.x * 2) - 2, int(lamp.y * 2) - 2, int(lamp.width * 2) + 4,
                               int(lamp.height * 2) + 4}));
    EXPECT_EQ(frame.pixelsOff(), 0);
}

// Views that change next to blurs, shadows, clips, opacity groups and a scroll view, and
// inside them: every frame drawn in parts is the frame drawn whole.
TEST(RenderChanges, PartsDrawnAgainHoldThePixelsOfTheWholeFrame) {
    VirtualDispatch dispatch;
    double x = 0;
    double offset = 0;
    Color tone = Color::green();
    ViewGraph graph(
        [&] {
            const View square = View(Color::white()).frame(20, 20).offset(x, 0);
            return ZStack(
                {View(Color::black()).ignoresSafeArea(),
                 VStack({ZStack({View(Color::blue()).frame(60, 60).blur(6), square}),
                         ZStack({Text("Shadowed").foregroundColor(tone).shadow(Color::red(), 4),
                                 square.opacity(0.5)}),
                         ZStack({View(Color::red()).frame(60, 60).blur(5), square,
                                 Circle().fill(tone)})
                             .frame(100, 40)
                             .clipShape(RoundedRectangle(12, RoundedCornerStyle::continuous)),
                         VStack({square, Text("inside").foregroundColor(tone)})
                             .opacity(0.6)
                             .shadow(Color::white(), 3, 2, 2),
                         ScrollView(VStack({View(Color::gray()).frame(100, 50).blur(4), square,
                                            View(Color::yellow()).frame(100, 50)}))
                             .frame(120, 60)
                             .offset(0, offset)})});
        },
        testing::scene(200, 400, 2));
    KeptFrame frame(graph, 400, 800);
    frame.next();
    for (int step = 0; step < 12; ++step) {
        x = step * 7 - 40;
        tone = step % 2 ? Color::green() : Color::yellow();
        offset = step % 3;
        graph.invalidate();
        const auto drawn = frame.next();
        EXPECT_FALSE(drawn.empty());
        EXPECT_EQ(frame.pixelsOff(), 0) << "step " << step;
    }
}

TEST(RenderChanges, ALiveFrameIsPreparedOffTheMainThreadAndDrawnInItsHostOnly) {
    VirtualDispatch dispatch;
    // A layer of a session that is not running keeps the frames handed to it.
    auto layer = CaptureVideoPreviewLayer::make(std::make_shared<CaptureSession>());
    layer->present(solidFrame(160, 120, kRed));
    ViewGraph graph(
        [&] {
            return VStack({ZStack({PreviewLayerHost(layer), Text("FA").padding(4)})
                               .frame(90, 120)
                               .testTag("preview"),
                           Text("below"), Spacer()},
                          HorizontalAlignment::center, 0);
        },
        testing::scene(90, 200, 2));
    std::atomic<int> requests{0};
    graph.setDisplayHandler([&] { ++requests; });
    KeptFrame frame(graph, 180, 400);
    frame.next();
    dispatch.runUntilIdle();
    EXPECT_EQ(frame.at(10, 10), kRed);

    // The new frame is prepared on the host's queue; until then a draw keeps the old one.
    layer->present(solidFrame(160, 120, kWhite));
    EXPECT_EQ(requests.load(), 0) << "not before it is prepared";
    EXPECT_TRUE(frame.next().empty());
    EXPECT_EQ(frame.at(10, 10), kRed);
    dispatch.runUntilIdle();
    EXPECT_EQ(requests.load(), 1) << "one draw asked for a frame";
    const auto drawn = frame.next();
    EXPECT_EQ(frame.at(10, 10), kWhite);
    EXPECT_TRUE(within(drawn, {0, 0, 180, 242})) << "the host and a pixel around it";
    EXPECT_EQ(frame.pixelsOff(), 0);
    EXPECT_TRUE(frame.next().empty()) << "drawn once";
    EXPECT_EQ(graph.rebuilds(), 1);
}

} // namespace
} // namespace qv::platform::ui

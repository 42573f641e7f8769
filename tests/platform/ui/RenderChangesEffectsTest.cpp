// Drawing only what changed under scales, turns and nested offscreen effects: every part
// drawn again holds the pixels of the whole frame, where a blur's or a shadow's reach is
// taken through the transforms around it and an effect inside another one draws as much of
// its content as the whole frame gives it.

#include "KeptFrame.hpp"
#include "TestScenes.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <utility>

namespace qv::platform::ui {
namespace {

using testing::KeptFrame;

constexpr double kQuarterTurn = std::numbers::pi / 2;

// Draws `content(step)` over a black screen for steps 0 to `steps`, each frame drawn only
// where it changed, and expects every frame to be the whole frame, pixel for pixel, and to
// have been drawn in parts (not whole).
void expectPartsAsWhole(const std::function<View(int)>& content, int steps, double side = 150,
                        double scale = 2) {
    VirtualDispatch dispatch;
    int step = 0;
    ViewGraph graph(
        [&] {
            return ZStack({View(Color::black()).ignoresSafeArea(), content(step)});
        },
        testing::scene(side, side, scale));
    const int pixels = int(side * scale);
    KeptFrame frame(graph, pixels, pixels);
    frame.next();
    for (step = 1; step <= steps; ++step) {
        graph.invalidate();
        const auto drawn = frame.next();
        ASSERT_FALSE(drawn.empty()) << "step " << step << ": something changed";
        EXPECT_NE(drawn, (std::vector<PixelRect>{{0, 0, pixels, pixels}}))
            << "step " << step << ": drawn in parts";
        EXPECT_EQ(frame.pixelsOff(), 0) << "step " << step;
    }
}

// A white square that moves right with the step, over a blue one that stays.
View movingOverStill(int step) {
    return ZStack({View(Color::blue()).frame(40, 40),
                   View(Color::white()).frame(12, 12).offset(step * 9 - 15, 4)});
}

TEST(RenderChangesUnderEffects, BlursAndShadowsUnderScalesAndTurns) {
    {
        SCOPED_TRACE("a blur under half scale");
        expectPartsAsWhole([](int s) { return movingOverStill(s).blur(8).scaleEffect(0.5); }, 3);
    }
    {
        SCOPED_TRACE("a wide blur under nine tenths");
        expectPartsAsWhole([](int s) { return movingOverStill(s).blur(50).scaleEffect(0.9); }, 3,
                           300);
    }
    {
        SCOPED_TRACE("a blur under double scale");
        expectPartsAsWhole([](int s) { return movingOverStill(s).blur(5).scaleEffect(2); }, 3);
    }
    {
        SCOPED_TRACE("an unblurred diagonal shadow turned an eighth");
        expectPartsAsWhole(
            [](int s) {
                return View(Color::yellow())
                    .frame(14, 14)
                    .offset(s * 6 - 12, 0)
                    .shadow(Color::red(), 0, 16, 16)
                    .rotationEffect(kQuarterTurn / 2);
            },
            3);
    }
    {
        SCOPED_TRACE("a shadow under a squeeze, an offset and a turn");
        expectPartsAsWhole(
            [](int s) {
                return Circle()
                    .fill(Color::green())
                    .frame(16, 16)
                    .offset(0, s * 5 - 10)
                    .shadow(Color::white(), 3, -12, 9)
                    .scaleEffect(0.4, 1.5)
                    .offset(10, -5)
                    .rotationEffect(1.1);
            },
            3);
    }
}

TEST(RenderChangesUnderEffects, EffectsInsideOtherEffects) {
    {
        SCOPED_TRACE("a shadow inside a blur");
        expectPartsAsWhole(
            [](int s) {
                return ZStack({View(Color::gray()).frame(60, 30).shadow(Color::red(), 6, 4, 4),
                               View(Color::white()).frame(10, 10).offset(s * 8 - 16, 28)})
                    .blur(4);
            },
            3);
    }
    {
        SCOPED_TRACE("a blur inside a shadow");
        expectPartsAsWhole(
            [](int s) {
                return ZStack({View(Color::blue()).frame(60, 30).blur(6),
                               View(Color::white()).frame(10, 10).offset(s * 8 - 16, 28)})
                    .shadow(Color::white(), 5, 3, 6);
            },
            3);
    }
    // The group's bounds follow the moving square; the shadow reaches past them.
    const std::pair<const char*, std::function<View(View)>> groups[] = {
        {"a shadow inside an opacity group that grows", [](View v) { return v.opacity(0.6); }},
        {"a shadow inside a colour inversion that grows", [](View v) { return v.colorInvert(); }},
    };
    for (const auto& [name, group] : groups) {
        SCOPED_TRACE(name);
        expectPartsAsWhole(
            [&](int s) {
                return group(
                    ZStack({View(Color::gray()).frame(30, 30).shadow(Color::red(), 3, 14, 10),
                            View(Color::white()).frame(10, 10).offset(-30 + s * 8, -30)}));
            },
            3);
    }
    {
        // A magnifier's box: a scaled, blurred picture clipped to a rounded rectangle, a
        // stroked outline over it, the box shadowed and moved.
        SCOPED_TRACE("a clipped blur inside a shadow, moved");
        expectPartsAsWhole(
            [](int s) {
                return ZStack({movingOverStill(s).scaleEffect(1.4).blur(3).frame(60, 60).clipShape(
                                   RoundedRectangle(12, RoundedCornerStyle::continuous)),
                               RoundedRectangle(12, RoundedCornerStyle::continuous)
                                   .stroke(Color::gray(), 2)
                                   .opacity(0.5)
                                   .frame(60, 60)})
                    .shadow(Color::black().opacity(0.33), 3)
                    .offset(s * 3, -s * 2);
            },
            3);
    }
}

} // namespace
} // namespace qv::platform::ui

// Drawing only what changed under scales, turns, nested offscreen effects and clips: every
// part drawn again holds the pixels of the whole frame, where a blur's or a shadow's reach
// is taken through the transforms around it, an effect inside another one draws as much of
// its content as the whole frame gives it, groups hold what the effects inside them paint,
// and what lies under a clip that cuts through pixels is cut as in the whole frame. Random
// scenes of nested transforms, effects and clips (fixed seeds) look for more of the kind.

#include "KeptFrame.hpp"
#include "TestScenes.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace qv::platform::ui {
namespace {

using testing::KeptFrame;

constexpr double kQuarterTurn = std::numbers::pi / 2;

// Draws `content(step)` over a black screen for steps 0 to `steps`, each frame drawn only
// where it changed, and expects every frame to be the whole frame, pixel for pixel, and to
// have been drawn in parts (not whole).
void expectPartsAsWhole(const std::function<View(int)>& content, int steps, double side = 150) {
    constexpr double scale = 2;
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
    for (const auto& [name, wrapper] : groups) {
        SCOPED_TRACE(name);
        const std::function<View(View)>& group = wrapper;
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

// A word too wide for its frame is drawn past it, further than glyphs reach past a box.
TEST(RenderChangesUnderEffects, AWordWiderThanItsFrameUnderAScale) {
    expectPartsAsWhole(
        [](int s) {
            return Text("Wg")
                .foregroundColor(s % 2 ? Color::yellow() : Color::white())
                .frame(10, 46)
                .scaleEffect(1.5, 0.6);
        },
        3);
}

// Under a clip that cuts through pixels, a part must not change how Cairo cuts what is
// drawn under it, whether the part's rectangles cut the clip or hold it: shapes crossing
// the clip's outline, one of them moving.
TEST(RenderChangesUnderEffects, ClipsThatCutThroughPixels) {
    const auto crossing = [](int s) {
        return ZStack(
            {Circle().fill(Color::yellow()).frame(30, 24).offset(-14, 9),
             RoundedRectangle(5).stroke(Color::white(), 2.5).frame(26, 21).offset(11, -8),
             Circle().fill(Color::red()).frame(13, 13).offset(s * 7.3 - 14, s * 3.1 - 5)});
    };
    const std::pair<const char*, std::function<View(View, int)>> clips[] = {
        {"a rounded clip shape",
         [](View v, int) {
             return v.frame(40.3, 35.7)
                 .clipShape(RoundedRectangle(9.7, RoundedCornerStyle::continuous));
         }},
        {"a frame clipped between pixels",
         [](View v, int) { return v.frame(39.99, 33.15).clipped(); }},
        {"a turned clip",
         [](View v, int) { return v.frame(35.2, 30.3).clipped().rotationEffect(0.37); }},
        // The outer clip moves, so the part holds it; the inner one is drawn as in the
        // whole frame too, not cut again by the outer one's outline.
        {"a clip inside another one, moved",
         [](View v, int s) {
             return v.frame(40.3, 35.7)
                 .clipShape(RoundedRectangle(9.7, RoundedCornerStyle::continuous))
                 .frame(36.1, 31.7)
                 .clipShape(Circle())
                 .offset(s * 2.3, s * 1.1);
         }},
    };
    for (const auto& [name, wrapper] : clips) {
        SCOPED_TRACE(name);
        const std::function<View(View, int)>& clip = wrapper;
        expectPartsAsWhole([&](int s) { return clip(crossing(s), s); }, 3);
    }
}

// A scroll view's indicator is filled as shapes are, so a part whose edge cuts through it
// (a square moving over it) holds the whole frame's pixels there.
TEST(RenderChangesUnderEffects, AScrollIndicatorCutByAPart) {
    expectPartsAsWhole(
        [](int s) {
            return ZStack(
                {ScrollView(VStack({View(Color::gray()).frame(80, 300)})).frame(102.96, 61.98),
                 View(Color::white()).frame(6, 6).offset(s * 3 + 41.04, s * 2.3 - 25)});
        },
        4);
}

// Scenes of random shapes under random nestings of transforms, effects and clips, from a
// seed: at each step a few shapes move or change colour and a few effects change their
// values. The scene's description (its views and modifiers, as written) names a failing one.
class RandomScene {
public:
    RandomScene(std::uint32_t seed, int step) : random_(seed), step_(step) {}

    View content(int depth = 0) {
        View v = depth < 3 && pick(3) != 0 ? stack(depth) : shape();
        const int modifiers = pick(3);
        for (int i = 0; i < modifiers; ++i) {
            v = modified(v);
        }
        return v;
    }
    const std::string& description() const { return description_; }

private:
    int pick(int n) { return int(random_() % std::uint32_t(n)); }
    double between(double low, double high) { return low + (high - low) * pick(1001) / 1000.0; }
    // A value that changes with the step in about one of six draws.
    double moving(double base, double perStep) {
        const bool moves = pick(6) == 0;
        return base + (moves ? perStep * step_ : 0);
    }
    // A value between `low` and `high` that moves by up to `reach` a step in about one of
    // six draws; the draws are made in one order whatever the compiler, so a seed names
    // one scene.
    double movingBetween(double low, double high, double reach) {
        const double perStep = between(-reach, reach);
        return moving(between(low, high), perStep);
    }
    int colorIndex() {
        const int base = pick(8);
        return (base + (pick(6) == 0 ? step_ : 0)) % 8;
    }
    static Color color(int index) {
        const Color colors[] = {Color::red(),   Color::green(),         Color::blue(),
                                Color::white(), Color::yellow(),        Color::gray(),
                                Color::black(), Color(0.2, 0.6, 1, 0.6)};
        return colors[index];
    }
    [[gnu::format(printf, 2, 3)]] void describe(const char* format, ...) {
        char text[160];
        va_list values;
        va_start(values, format);
        std::vsnprintf(text, sizeof text, format, values);
        va_end(values);
        description_ += text;
    }

    View stack(int depth) {
        std::vector<View> children;
        const int count = 1 + pick(3);
        describe("ZStack({");
        for (int i = 0; i < count; ++i) {
            children.push_back(content(depth + 1));
            describe("%s", i + 1 < count ? ", " : "})");
        }
        return ZStack(std::move(children));
    }

    View shape() {
        const double width = between(3, 24), height = between(3, 24);
        const double x = movingBetween(-30, 30, 6);
        const double y = movingBetween(-30, 30, 6);
        const int tone = colorIndex();
        const int kind = pick(4);
        if (kind == 3) {
            describe("Text(\"Wg\").foregroundColor(%d).offset(%g, %g)", tone, x, y);
            return Text("Wg").foregroundColor(color(tone)).offset(x, y);
        }
        describe("%s.frame(%g, %g).offset(%g, %g)",
                 kind == 0   ? "Color"
                 : kind == 1 ? "Circle"
                             : "RoundedRectangle.stroke",
                 width, height, x, y);
        if (kind == 0) {
            return View(color(tone)).frame(width, height).offset(x, y);
        }
        if (kind == 1) {
            return Circle().fill(color(tone)).frame(width, height).offset(x, y);
        }
        const double corner = between(0, 8), line = between(1, 4);
        return RoundedRectangle(corner).stroke(color(tone), line).frame(width, height).offset(x, y);
    }

    View modified(const View& v) {
        switch (pick(19) % 10) {
        case 0: {
            const double radius = moving(between(0, 8), 2);
            const bool opaque = pick(4) == 0;
            describe(".blur(%g, %d)", radius, opaque);
            return v.blur(radius, opaque);
        }
        case 1: {
            const int tone = colorIndex();
            const double radius = moving(between(0, 6), 1);
            const double x = moving(between(-10, 10), 3), y = between(-10, 10);
            describe(".shadow(%d, %g, %g, %g)", tone, radius, x, y);
            return v.shadow(color(tone), radius, x, y);
        }
        case 2: {
            const double x = moving(between(0.3, 1.8), 0.2), y = between(0.3, 1.8);
            const UnitPoint anchor{between(0, 1), between(0, 1)};
            describe(".scaleEffect(%g, %g, {%g, %g})", x, y, anchor.x, anchor.y);
            return v.scaleEffect(x, y, anchor);
        }
        case 3: {
            const double angle = moving(between(-3.2, 3.2), 0.3);
            const UnitPoint anchor{between(0, 1), between(0, 1)};
            describe(".rotationEffect(%g, {%g, %g})", angle, anchor.x, anchor.y);
            return v.rotationEffect(angle, anchor);
        }
        case 4: {
            const double x = moving(between(-15, 15), 4), y = between(-15, 15);
            describe(".offset(%g, %g)", x, y);
            return v.offset(x, y);
        }
        case 5: {
            const double opacity = moving(between(0.2, 0.9), 0.05);
            describe(".opacity(%g)", opacity);
            return v.opacity(opacity);
        }
        case 6:
            describe(".colorInvert()");
            return v.colorInvert();
        case 7: {
            // A clip that cuts through pixels: a rounded rectangle or a circle, or a
            // frame whose edges fall between pixels.
            const int kind = pick(3);
            if (kind == 0) {
                const double corner = between(1, 12);
                describe(".clipShape(RoundedRectangle(%g))", corner);
                return v.clipShape(RoundedRectangle(corner, RoundedCornerStyle::continuous));
            }
            if (kind == 1) {
                describe(".clipShape(Circle())");
                return v.clipShape(Circle());
            }
            const double width = moving(between(5.1, 40.3), 1.3), height = between(5.1, 40.3);
            describe(".frame(%g, %g).clipped()", width, height);
            return v.frame(width, height).clipped();
        }
        default: {
            const double width = between(10, 60), height = between(10, 60);
            describe(".frame(%g, %g)", width, height);
            return v.frame(width, height);
        }
        }
    }

    std::mt19937 random_;
    int step_;
    std::string description_;
};

TEST(RenderChangesUnderEffects, RandomNestingsOfTransformsAndEffects) {
    std::vector<std::uint32_t> seeds(80);
    std::iota(seeds.begin(), seeds.end(), 1u);
    // Rectangles between pixels cut by parts.
    seeds.insert(seeds.end(), {694, 1320, 2849});
    for (std::uint32_t seed : seeds) {
        VirtualDispatch dispatch;
        int step = 0;
        std::string scene;
        ViewGraph graph(
            [&] {
                RandomScene random(seed, step);
                View content = random.content();
                scene = random.description();
                return ZStack({View(Color::black()).ignoresSafeArea(), content});
            },
            testing::scene(120, 120, 2));
        KeptFrame frame(graph, 240, 240);
        frame.next();
        for (step = 1; step <= 3; ++step) {
            graph.invalidate();
            frame.next();
            const int off = frame.pixelsOff();
            EXPECT_EQ(off, 0) << "seed " << seed << ", step " << step << ": " << scene;
            if (off != 0) {
                break;
            }
        }
    }
}

} // namespace
} // namespace qv::platform::ui

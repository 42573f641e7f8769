// Drawing shortcuts must not change a pixel: an opacity over one shape or text
// fades its colour instead of compositing a group, and a scene whose first
// layer covers it opaquely is not painted with its background first; an
// unblurred shadow of one shape or text draws it in the shadow's colour under it;
// a blurred shadow of a shape works on the shape's own bounds, not its frame.

#include "TestScenes.hpp"
#include "platform/ui/scene/ViewTree.hpp"
#include "platform/ui/views/Views.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

using testing::scene;

// Largest difference of any channel of any pixel.
int maxDifference(const RenderedImage& a, const RenderedImage& b) {
    EXPECT_EQ(a.pixels.size(), b.pixels.size());
    int worst = 0;
    for (size_t i = 0; i < std::min(a.pixels.size(), b.pixels.size()); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            int d = std::abs(int((a.pixels[i] >> shift) & 255) - int((b.pixels[i] >> shift) & 255));
            worst = std::max(worst, d);
        }
    }
    return worst;
}

// The same content faded directly (a leaf under the opacity) and through a
// group (a stack of one under it).
TEST(DrawingShortcuts, FadedLeafMatchesTheFadedGroup) {
    auto pair = [](View leaf) {
        return std::pair{ViewTree(leaf.opacity(0.37), scene(60, 40, 2)),
                         ViewTree(ZStack({leaf}).opacity(0.37), scene(60, 40, 2))};
    };
    std::vector<View> leaves = {
        RoundedRectangle(8, RoundedCornerStyle::continuous)
            .fill(Color::white().opacity(0.8))
            .padding(4),
        Circle().stroke(Color::yellow(), StrokeStyle{3}).padding(6),
        Text("Faded 123").font(Font::title3()).foregroundColor(Color::green()),
    };
    for (const View& leaf : leaves) {
        auto [direct, grouped] = pair(leaf);
        RenderedImage a = direct.render(), b = grouped.render();
        EXPECT_LE(maxDifference(a, b), 1);
        // And something was drawn at all (the faded content is not lost).
        EXPECT_NE(maxDifference(a, ViewTree(Color::clear(), scene(60, 40, 2)).render()), 0);
    }
}

TEST(DrawingShortcuts, OpaqueFirstLayerReplacesEveryPixelOfAReusedBuffer) {
    SceneOptions o = scene(30, 20, 3);
    o.safeAreaInsets = {5, 0, 5, 0};
    const int w = 90, h = 60;
    auto renderOverGarbage = [&](const View& v) {
        std::vector<std::uint32_t> frame(size_t(w) * h, 0x80ff00ffu);
        ViewTree(v, o).renderInto(frame.data(), w, h, w * 4);
        return frame;
    };
    // Covers the screen: every pixel is drawn anew, none keeps the old frame.
    std::uint32_t blue = ViewTree(Color::blue(), scene(1, 1, 1)).render().at(0, 0);
    std::uint32_t red = ViewTree(Color::red(), scene(1, 1, 1)).render().at(0, 0);
    auto covered = renderOverGarbage(
        ZStack({View(Color::blue()).ignoresSafeArea(), View(Color::red()).frame(6, 6)}));
    EXPECT_TRUE(std::all_of(covered.begin(), covered.end(),
                            [&](std::uint32_t px) { return px == blue || px == red; }));
    EXPECT_EQ(std::count(covered.begin(), covered.end(), red), 18 * 18);

    // Within the safe area only, translucent, clipped or rounded: the
    // background must still be painted first. Each scene matches its drawing
    // with a clear layer at the bottom, which always paints the background.
    for (const View& v : {View(Color::blue()), View(Color::blue().opacity(0.5)).ignoresSafeArea(),
                          View(Color::blue()).ignoresSafeArea().clipShape(Circle()),
                          View(RoundedRectangle(4).fill(Color::blue())).ignoresSafeArea(),
                          View(Color::blue()).ignoresSafeArea().offset(0, 1)}) {
        auto frame = renderOverGarbage(v);
        RenderedImage reference =
            ViewTree(ZStack({View(Color::clear()).ignoresSafeArea(), v}), o).render();
        EXPECT_TRUE(std::equal(frame.begin(), frame.end(), reference.pixels.begin()));
        EXPECT_NE(frame[0], blue);
    }
}

TEST(DrawingShortcuts, UnblurredAndClearShadows) {
    auto tile = [](std::optional<Color> shadow) {
        View v = View(Color::white()).frame(10, 10);
        if (shadow) {
            v = v.shadow(*shadow, 0, 4, 4);
        }
        return ViewTree(ZStack({View(Color::red()), v}), scene(30, 30, 1)).render();
    };
    // A clear shadow draws just the content.
    EXPECT_EQ(maxDifference(tile(Color::clear()), tile(std::nullopt)), 0);
    // An unblurred shadow is the content's outline, offset, in the shadow colour.
    RenderedImage img = tile(Color::black().opacity(0.5));
    auto red = [&](int x, int y) { return int((img.at(x, y) >> 16) & 255); };
    EXPECT_EQ(red(15, 15), 255);      // the content
    EXPECT_NEAR(red(22, 22), 128, 1); // only the shadow: half black over red
    EXPECT_EQ(red(5, 5), 255);        // neither
    EXPECT_EQ(img.at(5, 5), img.at(0, 0));
}

// An unblurred shadow drawn directly under a leaf (moved by whole device
// pixels) and through the offscreen content of a group of one.
TEST(DrawingShortcuts, UnblurredShadowOfALeafMatchesTheShadowOfAGroup) {
    std::vector<View> leaves = {
        Text("ISO 800 \u00bd").font(Font::title2()).foregroundColor(Color::yellow()),
        RoundedRectangle(6, RoundedCornerStyle::continuous).stroke(Color::white(), 1.5),
        Circle().fill(Color::green().opacity(0.6)),
    };
    struct Offset {
        double x, y;
    };
    // At scale 2: none, whole pixels, half pixels (drawn offscreen either way).
    for (Offset at : {Offset{0, 0}, Offset{1.5, -2}, Offset{0.25, 0.75}}) {
        for (const View& leaf : leaves) {
            auto draw = [&](View v) {
                return ViewTree(
                           ZStack(
                               {View(Color::blue()),
                                v.shadow(Color::black().opacity(0.6), 0, at.x, at.y).padding(6)}),
                           scene(120, 40, 2))
                    .render();
            };
            RenderedImage direct = draw(leaf), grouped = draw(ZStack({leaf}));
            EXPECT_LE(maxDifference(direct, grouped), 1) << at.x << "," << at.y;
            EXPECT_NE(maxDifference(direct, draw(leaf.opacity(0))), 0);
        }
    }
}

// The reach of a stroke beyond its path: half the width, a square cap's corner, a miter
// tip up to the limit (a sharper join is bevelled).
TEST(DrawingShortcuts, AStrokeReachesHalfItsWidthOrItsMiterTip) {
    Path corner;
    corner.addLines({{0, 0}, {10, 0}, {10, 10}});
    Path sharp;
    sharp.addLines({{0, 0}, {10, 0}, {0, 1}});
    Path ring;
    ring.addEllipse({0, 0, 20, 20});
    StrokeStyle miter{4};
    EXPECT_NEAR(strokeReach(corner, miter), 2 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(strokeReach(sharp, miter), 2, 1e-9) << "past the limit of 10: bevelled";
    EXPECT_NEAR(strokeReach(ring, miter), 2, 1e-6) << "smooth joins";
    StrokeStyle square{4, LineCap::square};
    EXPECT_NEAR(strokeReach(Path(), square), 2 * std::sqrt(2.0), 1e-9);
    StrokeStyle round{4, LineCap::round, LineJoin::round};
    EXPECT_NEAR(strokeReach(corner, round), 2, 1e-9);
}

// A blurred shadow of a stroke inside a large frame, drawn offscreen over the stroke's
// bounds, matches the same shadow drawn over the whole frame (a clear colour in the group
// makes the group as large as its frame).
TEST(DrawingShortcuts, ABlurredShadowOfAStrokeMatchesItsShadowOverTheWholeFrame) {
    const auto polyline = [](std::vector<Point> points) {
        return PathShape([points](const Rect& f) {
            std::vector<Point> moved;
            for (Point p : points) {
                moved.push_back({f.minX() + p.x, f.minY() + p.y});
            }
            Path path;
            path.addLines(moved);
            return path;
        });
    };
    StrokeStyle miter{6};
    StrokeStyle square{5, LineCap::square};
    // A sharp join whose miter tip reaches 23 points past the path.
    const std::vector<Point> spike{{70, 115}, {80, 40}, {90, 115}};
    const std::vector<View> strokes = {
        polyline(spike).stroke(Color::white(), miter),
        polyline({{30, 60}, {150, 62}}).stroke(Color::yellow(), square),
        Circle().stroke(Color::green(), 5).frame(50, 50),
        polyline(spike).stroke(Color::white(), miter).rotationEffect(0.4),
    };
    for (const View& stroke : strokes) {
        const auto draw = [](View v) {
            return ViewTree(ZStack({View(Color::blue()), v.shadow(Color::black(), 1, 1, 1)}),
                            scene(160, 120, 2))
                .render();
        };
        const RenderedImage own = draw(stroke);
        const RenderedImage whole = draw(ZStack({View(Color::clear()), stroke}));
        EXPECT_LE(maxDifference(own, whole), 1);
        EXPECT_NE(maxDifference(own, draw(View(Color::clear()))), 0);
    }
}

} // namespace
} // namespace qv::platform::ui

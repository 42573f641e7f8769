// Drawing: shapes, effects, symbols and PNG output, checked on the pixels of
// small renderings.

#include "Gallery.hpp"
#include "TestScenes.hpp"
#include "platform/ui/drawing/Log.hpp"
#include "platform/ui/drawing/Symbols.hpp"
#include "platform/ui/scene/ViewTree.hpp"
#include "platform/ui/views/Views.hpp"

#include <cairo.h>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>

namespace qv::platform::ui {
namespace {

using testing::scene;

struct Rgb {
    int r, g, b;
};
Rgb rgb(std::uint32_t px) {
    return {int((px >> 16) & 255), int((px >> 8) & 255), int(px & 255)};
}

int litPixels(const RenderedImage& img, const Rect& r, double scale) {
    int n = 0;
    for (int y = int(r.minY() * scale); y < int(r.maxY() * scale); ++y) {
        for (int x = int(r.minX() * scale); x < int(r.maxX() * scale); ++x) {
            if (x >= 0 && y >= 0 && x < img.width && y < img.height) {
                Rgb c = rgb(img.at(x, y));
                n += (c.r + c.g + c.b) > 200 ? 1 : 0;
            }
        }
    }
    return n;
}

Path horizontalLine(const Rect& r) {
    Path p;
    p.moveTo({r.minX(), r.midY()});
    p.lineTo({r.maxX(), r.midY()});
    return p;
}

TEST(Symbols, EveryNameTheScreensUseDrawsSomething) {
    const char* names[] = {"x.circle",
                           "xmark.circle",
                           "checkmark.square",
                           "square",
                           "circle",
                           "checkmark.circle",
                           "diamond",
                           "checkmark.diamond",
                           "level",
                           "plus.magnifyingglass",
                           "gear",
                           "backward",
                           "forward",
                           "arrowtriangle.backward",
                           "arrowtriangle.forward",
                           "arrow.down.to.line",
                           "arrow.up.to.line",
                           "timer",
                           "repeat",
                           "infinity",
                           "minus",
                           "plus"};
    for (const char* n : names) {
        ViewTree t(Image::system(n).font(Font::title()), scene(60, 60, 2));
        const Element& e = t.get(Query::symbol(n));
        EXPECT_NEAR(e.frame().width, 28 * 1.2, 1e-9) << n;
        EXPECT_GT(litPixels(t.render(), e.frame(), 2), 40) << n;
    }
    for (const char* n : {"histogram", "IGglyph"}) {
        ViewTree t(Image::named(n).font(Font::title()), scene(60, 60, 2));
        EXPECT_GT(litPixels(t.render(), t.get(Query::symbol(n)).frame(), 2), 40) << n;
    }
    // The font serves most symbols; the outline diamond is ours.
    EXPECT_TRUE(symbolUsesIconFont("gear"));
    EXPECT_FALSE(symbolUsesIconFont("diamond"));
}

TEST(Symbols, UnknownNameDrawsNothingAndLogsOnce) {
    std::vector<std::string> lines;
    LogSink previous = setLogSink([&](const std::string& l) { lines.push_back(l); });
    for (int i = 0; i < 3; ++i) {
        ViewTree t(Image::system("no.such.symbol").font(Font::title()), scene(60, 60, 1));
        EXPECT_EQ(litPixels(t.render(), {0, 0, 60, 60}, 1), 0);
    }
    setLogSink(previous);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("no.such.symbol"), std::string::npos);
}

TEST(Shapes, FillUsesTheNonZeroRule) {
    // Two squares wound the same way overlap: the non-zero rule fills the overlap.
    auto twoSquares = PathShape([](const Rect& r) {
        Path p;
        p.addRect({r.x, r.y, 30, 30});
        p.addRect({r.x + 10, r.y + 10, 30, 30});
        return p;
    });
    ViewTree t(twoSquares.fill(Color::white()).frame(40, 40), scene(40, 40, 1));
    EXPECT_EQ(rgb(t.render().at(20, 20)).r, 255);
}

TEST(Shapes, TrimKeepsAFractionOfTheLength) {
    auto line = PathShape(horizontalLine);
    Path half = Shape(horizontalLine).trim(0.25, 0.75).path({0, 0, 100, 10});
    Rect b = half.boundingRect();
    EXPECT_NEAR(b.minX(), 25, 1e-9);
    EXPECT_NEAR(b.maxX(), 75, 1e-9);
    StrokeStyle s;
    s.lineWidth = 4;
    ViewTree t(line.trim(0, 0.5).stroke(Color::white(), s).frame(100, 10), scene(100, 10, 1));
    RenderedImage img = t.render();
    EXPECT_EQ(rgb(img.at(20, 5)).r, 255);
    EXPECT_EQ(rgb(img.at(80, 5)).r, 0);
}

TEST(Shapes, DashedStrokeLeavesGaps) {
    auto line = PathShape(horizontalLine);
    StrokeStyle s;
    s.lineWidth = 4;
    s.dash = {10, 10};
    ViewTree t(line.stroke(Color::white(), s).frame(100, 10), scene(100, 10, 1));
    RenderedImage img = t.render();
    EXPECT_EQ(rgb(img.at(5, 5)).r, 255);
    EXPECT_EQ(rgb(img.at(15, 5)).r, 0);
}

TEST(Shapes, ContinuousCornersStayInsideTheRectangle) {
    for (double radius : {5.0, 10.0, 40.0}) {
        Rect r{0, 0, 100, 60};
        Rect b = roundedRectPath(r, radius, radius, RoundedCornerStyle::continuous).boundingRect();
        EXPECT_NEAR(b.minX(), 0, 1e-9);
        EXPECT_NEAR(b.maxX(), 100, 1e-9);
        EXPECT_NEAR(b.maxY(), 60, 1e-9);
    }
    // The corner pixel is outside a rounded rectangle, the centre inside.
    ViewTree t(
        RoundedRectangle(10, RoundedCornerStyle::continuous).fill(Color::white()).frame(40, 40),
        scene(40, 40, 1));
    RenderedImage img = t.render();
    EXPECT_EQ(rgb(img.at(0, 0)).r, 0);
    EXPECT_EQ(rgb(img.at(20, 20)).r, 255);
}

TEST(Effects, OpacityClipAndZIndex) {
    ViewTree t(HStack({View(Color::white()).frame(20, 20).opacity(0.5),
                       View(Color::white()).frame(20, 20).clipShape(Circle()),
                       ZStack({View(Color::red()).zIndex(1), View(Color::blue())}).frame(20, 20)},
                      VerticalAlignment::center, 0),
               scene(60, 20, 1));
    RenderedImage img = t.render();
    EXPECT_NEAR(rgb(img.at(10, 10)).r, 128, 2);
    EXPECT_EQ(rgb(img.at(30, 10)).r, 255);
    EXPECT_EQ(rgb(img.at(20, 0)).r, 0);    // outside the circle
    EXPECT_GT(rgb(img.at(50, 10)).r, 200); // the raised red is drawn over the blue
}

TEST(Effects, ShadowSpreadsBeyondTheViewAndColourSchemePicksVariants) {
    ViewTree t(View(Color::black()).frame(20, 20).shadow(Color::white(), 4), scene(40, 40, 1));
    RenderedImage img = t.render();
    EXPECT_GT(rgb(img.at(8, 20)).r, 10); // just outside the left edge
    EXPECT_EQ(rgb(img.at(20, 20)).r, 0);

    SceneOptions light = scene(10, 10, 1);
    light.colorScheme = ColorScheme::light;
    EXPECT_EQ(rgb(ViewTree(Text(""), light).render().at(5, 5)).r, 255);
    EXPECT_EQ(rgb(ViewTree(Text(""), scene(10, 10, 1)).render().at(5, 5)).r, 0);
}

TEST(Effects, ColorInvertTurnsColoursAroundAndKeepsAlpha) {
    SceneOptions o = scene(60, 20, 1);
    o.background = Color(1, 0, 0);
    ViewTree t(HStack({View(Color::white()).frame(20, 20), View(Color::white(1, 0.5)).frame(20, 20),
                       View(Color::black()).frame(20, 20)},
                      VerticalAlignment::center, 0)
                   .colorInvert(),
               o);
    RenderedImage img = t.render();
    const Rgb opaque = rgb(img.at(10, 10)), half = rgb(img.at(30, 10)), dark = rgb(img.at(50, 10));
    EXPECT_EQ(opaque.r + opaque.g + opaque.b, 0) << "white becomes black";
    EXPECT_NEAR(half.r, 128, 2) << "half-transparent black over the red";
    EXPECT_EQ(half.g, 0);
    EXPECT_EQ(dark.r + dark.g + dark.b, 3 * 255) << "black becomes white";
}

TEST(Shapes, AShapeTellsItsOutlineStyleColourAndOpacityAsDrawn) {
    // A quarter arc from 12 to 3 o'clock: the circle trimmed to a quarter, turned by
    // three quarters about its centre, in a faded stack.
    StrokeStyle round;
    round.lineWidth = 10;
    round.lineCap = LineCap::round;
    ViewTree t(
        ZStack(
            {Circle().stroke(Color::gray(), 10),
             Circle().trim(0, 0.25).stroke(Color::white(0.75), round).rotationEffect(3 * kPi / 2)})
            .frame(100, 100)
            .opacity(0.5),
        scene(100, 100, 1));
    const auto shapes = t.findAll(Query::kind("Shape"));
    ASSERT_EQ(shapes.size(), 2u);
    const auto track = *shapes[0]->shapeInfo();
    EXPECT_FALSE(track.filled());
    EXPECT_EQ(track.lineWidth(), 10);
    EXPECT_EQ(track.color, (Color::Rgba{0.5, 0.5, 0.5, 1}));
    EXPECT_EQ(track.opacity, 0.5);
    const Rect box = track.path.boundingRect();
    EXPECT_NEAR(box.minX(), 0, 1e-9);
    EXPECT_NEAR(box.maxY(), 100, 1e-9);

    const auto arc = *shapes[1]->shapeInfo();
    EXPECT_EQ(arc.stroke->lineCap, LineCap::round);
    EXPECT_EQ(arc.color, (Color::Rgba{0.75, 0.75, 0.75, 1}));
    const auto& e = arc.path.elements();
    ASSERT_FALSE(e.empty());
    const Point start = e.front().p[0];
    const Point end = e.back().op == Path::Op::curve ? e.back().p[2] : e.back().p[0];
    EXPECT_NEAR(start.x, 50, 1e-6) << "starts at 12 o'clock";
    EXPECT_NEAR(start.y, 0, 1e-6);
    EXPECT_NEAR(end.x, 100, 1e-6) << "ends at 3 o'clock";
    EXPECT_NEAR(end.y, 50, 1e-6);

    EXPECT_FALSE(t.get(Query::kind("ZStack")).shapeInfo().has_value());
    ViewTree colour(View(Color::blue()).frame(10, 10), scene(10, 10, 1));
    EXPECT_TRUE(colour.get(Query::kind("Color")).shapeInfo()->filled());
}

// An element with a NaN in its transform, frame, path or drawing values is left out
// with one log line; what is drawn after it still shows. A NaN rotation used to put
// the Cairo context into a lasting error, a NaN path point drew a stray line.
TEST(NonFiniteValues, TheElementIsLeftOutAndTheRestOfTheSceneDraws) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const View square = Rectangle().fill(Color::white()).frame(20, 20);
    const auto pathThrough = [](Point p) {
        return PathShape([p](const Rect& r) {
            Path path;
            path.addLines({{r.minX(), r.midY()}, p, {r.maxX(), r.maxY()}});
            return path;
        });
    };
    StrokeStyle nanWidth;
    nanWidth.lineWidth = nan;
    const std::vector<std::pair<std::string, View>> cases = {
        {"rotation", square.rotationEffect(nan)},
        {"scale", square.scaleEffect(nan)},
        {"offset", square.offset(nan, 0)},
        {"position", square.position(nan, 10)},
        {"opacity", square.opacity(nan)},
        {"shadow", square.shadow(Color::white(), nan)},
        {"blur", square.blur(nan)},
        {"path point", pathThrough({nan, 5}).stroke(Color::white(), 2)},
        {"stroke width", pathThrough({10, 5}).stroke(Color::white(), nanWidth)},
        {"clip path", square.clipShape(pathThrough({5, nan}))},
    };
    for (const auto& [name, broken] : cases) {
        std::vector<std::string> lines;
        LogSink previous = setLogSink([&](const std::string& l) { lines.push_back(l); });
        // Later views in the same stack and after it: both must still show.
        ViewTree t(VStack({HStack({broken.frame(20, 20).id("broken " + name), square},
                                  VerticalAlignment::top, 0),
                           square},
                          HorizontalAlignment::leading, 0),
                   scene(40, 40, 1));
        const RenderedImage img = t.render();
        setLogSink(previous);
        EXPECT_EQ(litPixels(img, {0, 0, 20, 20}, 1), 0) << name << " draws nothing";
        EXPECT_EQ(litPixels(img, {20, 0, 20, 20}, 1), 400) << name << ": the next view shows";
        EXPECT_EQ(litPixels(img, {0, 20, 20, 20}, 1), 400) << name << ": later views show";
        EXPECT_EQ(lines.size(), 1u) << name;
    }
}

TEST(NonFiniteValues, ANaNSizeTakesNoSpaceAndAZeroScaleDrawsNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const View square = Rectangle().fill(Color::white()).frame(20, 20);
    LogSink previous = setLogSink([](const std::string&) {});
    ViewTree t(
        HStack({Rectangle().fill(Color::white()).frame(nan, 20), square.scaleEffect(0), square},
               VerticalAlignment::top, 0),
        scene(60, 20, 1));
    const RenderedImage img = t.render();
    setLogSink(previous);
    const auto frames = t.findAll(Query::kind("Shape"));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0]->frame().width, 0);
    EXPECT_EQ(litPixels(img, {0, 0, 60, 20}, 1), 400) << "only the plain square, drawn last";
    EXPECT_EQ(litPixels(img, {30, 0, 20, 20}, 1), 400); // the stack of 40 is centred
}

TEST(Gallery, PageShowsEverySymbolAndWritesAPng) {
    SceneOptions o;
    o.scale = 1;
    o.safeAreaInsets = {47, 0, 34, 0};
    ViewTree t(gallery::page(), o);
    for (const auto& n : knownSymbolNames()) {
        const Element* e = t.find(Query::symbol(n));
        ASSERT_NE(e, nullptr) << n;
        EXPECT_TRUE(Rect({0, 0, 390, 844}).contains(e->screenFrame().center())) << n;
    }
    auto path = (std::filesystem::temp_directory_path() / "qv-ui-gallery-test.png").string();
    ASSERT_TRUE(t.writePng(path));
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    EXPECT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 390);
    cairo_surface_destroy(png);
    std::remove(path.c_str());

    std::string error;
    EXPECT_FALSE(t.writePng("/nonexistent-dir/x.png", &error));
    EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos);
}

} // namespace
} // namespace qv::platform::ui

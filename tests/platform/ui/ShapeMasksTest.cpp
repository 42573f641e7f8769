// Shapes drawn through cached coverage masks must look like Cairo's own fill
// and stroke (within one level per channel), wherever and however often they
// are drawn, and the cache must reuse masks only where the pixels are the same.

#include "platform/ui/drawing/ShapeMasks.hpp"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace qv::platform::ui {
namespace {

constexpr int kW = 160, kH = 120;

struct Placement {
    double scale, angle, x, y; // device transform: translate, rotate, scale
};

// A surface with a non-uniform background (the mask paints over something).
struct Canvas {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
    cairo_t* cr = cairo_create(surface);
    Canvas() {
        cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, kW, kH);
        cairo_pattern_add_color_stop_rgba(g, 0, 0.1, 0.2, 0.8, 1);
        cairo_pattern_add_color_stop_rgba(g, 1, 0.9, 0.6, 0.1, 0.5);
        cairo_set_source(cr, g);
        cairo_paint(cr);
        cairo_pattern_destroy(g);
    }
    ~Canvas() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void draw(const Path& path, const StrokeStyle* stroke, Placement at, ShapeDrawing mode) {
        cairo_save(cr);
        cairo_translate(cr, at.x, at.y);
        cairo_rotate(cr, at.angle);
        cairo_scale(cr, at.scale, at.scale);
        drawShape(cr, path, stroke, {0.9, 0.3, 0.2, 0.7}, mode);
        cairo_restore(cr);
        cairo_surface_flush(surface);
    }
    std::uint32_t pixel(int x, int y) const {
        auto* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
    }
};

// Largest difference of any channel of any pixel.
int maxDifference(const Canvas& a, const Canvas& b) {
    int worst = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            for (int shift = 0; shift < 32; shift += 8) {
                int d = std::abs(int((a.pixel(x, y) >> shift) & 255) -
                                 int((b.pixel(x, y) >> shift) & 255));
                worst = std::max(worst, d);
            }
        }
    }
    return worst;
}

// Pixels the drawing changed on a fresh canvas.
int changedPixels(const Canvas& drawn) {
    Canvas blank;
    int n = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            n += drawn.pixel(x, y) != blank.pixel(x, y);
        }
    }
    return n;
}

Path wave() {
    Path p;
    p.moveTo({2, 20});
    p.curveTo({30, 4}, {8, -6}, {20, 30});
    p.lineTo({26, 24});
    p.quadCurveTo({4, 28}, {14, 40});
    p.closeSubpath();
    return p;
}

struct MaskCase {
    std::string name;
    Path path;
    std::optional<StrokeStyle> stroke;
};

std::vector<MaskCase> maskCases() {
    StrokeStyle dashed{2.5, LineCap::round, LineJoin::round, 10, {4, 3}, 1.5};
    StrokeStyle sharp{3, LineCap::square, LineJoin::miter, 10};
    return {
        {"continuous rounded fill",
         roundedRectPath({0, 0, 40, 24}, 7, 7, RoundedCornerStyle::continuous),
         {}},
        {"continuous rounded stroke",
         roundedRectPath({0, 0, 40, 24}, 7, 7, RoundedCornerStyle::continuous), StrokeStyle{1}},
        {"circle dashed",
         [] {
             Path p;
             p.addEllipse({0, 0, 30, 30});
             return p;
         }(),
         dashed},
        {"curves fill", wave(), {}},
        {"curves mitred", wave(), sharp},
        {"rectangle stroke",
         [] {
             Path p;
             p.addRect({0.3, 0.6, 20, 12});
             return p;
         }(),
         StrokeStyle{1.5}},
    };
}

TEST(ShapeMasks, CachedDrawingMatchesCairoWhereverTheShapeIsDrawn) {
    resetShapeMaskCache(kDefaultShapeMaskCacheBytes);
    std::vector<Placement> places = {
        {3, 0, 7.37, 5.81},       // the phone's scale at a sub-pixel offset
        {3, 0, 12.37, 9.81},      // moved by whole pixels: the same mask again
        {2, 0.35, 60.5, 8.25},    // rotated
        {1.5, -1.2, 30.1, 100.9}, // rotated the other way, partly outside
    };
    for (const MaskCase& c : maskCases()) {
        for (const Placement& at : places) {
            Canvas direct, cached;
            const StrokeStyle* stroke = c.stroke ? &*c.stroke : nullptr;
            direct.draw(c.path, stroke, at, ShapeDrawing::direct);
            cached.draw(c.path, stroke, at, ShapeDrawing::cached);
            EXPECT_LE(maxDifference(direct, cached), 1) << c.name << " at " << at.x << "," << at.y;
            EXPECT_GT(changedPixels(cached), 20) << c.name;
        }
    }
}

TEST(ShapeMasks, ClipAndOverlapComposeLikeDirectDrawing) {
    Path shape = roundedRectPath({0, 0, 40, 30}, 10, 10, RoundedCornerStyle::circular);
    Canvas direct, cached;
    for (Canvas* canvas : {&direct, &cached}) {
        ShapeDrawing mode = canvas == &direct ? ShapeDrawing::direct : ShapeDrawing::cached;
        cairo_save(canvas->cr);
        cairo_arc(canvas->cr, 70, 60, 45.3, 0, 2 * M_PI);
        cairo_clip(canvas->cr);
        for (int i = 0; i < 3; ++i) {
            canvas->draw(shape, nullptr, {2, 0, 20.0 + 17 * i, 15.25 + 11 * i}, mode);
        }
        cairo_restore(canvas->cr);
    }
    EXPECT_LE(maxDifference(direct, cached), 1);
}

TEST(ShapeMasks, MasksAreReusedOnlyAtTheSameSubPixelPlaceAndTransform) {
    resetShapeMaskCache(kDefaultShapeMaskCacheBytes);
    Path shape = roundedRectPath({0, 0, 20, 10}, 4, 4, RoundedCornerStyle::continuous);
    Canvas canvas;
    auto draw = [&](Placement at, const StrokeStyle* stroke = nullptr) {
        canvas.draw(shape, stroke, at, ShapeDrawing::cached);
        return shapeMaskCacheStats();
    };
    EXPECT_EQ(draw({3, 0, 4.25, 4.5}).misses, 1u);
    ShapeMaskCacheStats s = draw({3, 0, 40.25, 70.5}); // whole pixels away
    EXPECT_EQ(s.hits, 1u);
    EXPECT_EQ(s.entries, 1u);
    EXPECT_EQ(draw({3, 0, 4.75, 4.5}).entries, 2u);   // half a pixel away
    EXPECT_EQ(draw({2, 0, 4.25, 4.5}).entries, 3u);   // another scale
    EXPECT_EQ(draw({3, 0.5, 4.25, 4.5}).entries, 4u); // rotated
    StrokeStyle thin{1}, thick{2};
    EXPECT_EQ(draw({3, 0, 4.25, 4.5}, &thin).entries, 5u); // stroked, not filled
    EXPECT_EQ(draw({3, 0, 4.25, 4.5}, &thick).entries, 6u);
    EXPECT_EQ(draw({3, 0, 9.25, 1.5}, &thick).hits, 2u);
}

TEST(ShapeMasks, TheCacheStaysWithinItsCapacityAndStillDraws) {
    constexpr size_t capacity = 64 << 10;
    resetShapeMaskCache(capacity);
    Path shape = roundedRectPath({0, 0, 40, 30}, 8, 8, RoundedCornerStyle::continuous);
    for (int i = 0; i < 40; ++i) {
        Placement at{2, 0, 10 + i * 0.37, 10 + i * 0.21};
        Canvas direct, cached;
        direct.draw(shape, nullptr, at, ShapeDrawing::direct);
        cached.draw(shape, nullptr, at, ShapeDrawing::cached);
        ASSERT_LE(maxDifference(direct, cached), 1) << i;
        ASSERT_LE(shapeMaskCacheStats().bytes, capacity);
    }
    ShapeMaskCacheStats s = shapeMaskCacheStats();
    EXPECT_GT(s.entries, 1u);
    EXPECT_LT(s.entries, 40u);
    resetShapeMaskCache(kDefaultShapeMaskCacheBytes);
}

} // namespace
} // namespace qv::platform::ui

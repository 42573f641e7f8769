#include "platform/ui/drawing/Symbols.hpp"

#include "platform/ui/drawing/TextSystem.hpp"

#include <cairo.h>
#include <initializer_list>
#include <map>

namespace qv::platform::ui {
namespace {

// A drawing in a unit square (0..1 on both axes, y down), tinted by the source colour.
using Drawing = void (*)(cairo_t*);

struct SymbolEntry {
    char32_t glyph; // icon-font codepoint, 0 when only our drawing serves
    Drawing drawing;
};

void strokeWidth(cairo_t* cr, double w) {
    cairo_set_line_width(cr, w);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
}

void circleOutline(cairo_t* cr) {
    strokeWidth(cr, 0.08);
    cairo_arc(cr, 0.5, 0.5, 0.4, 0, 2 * kPi);
    cairo_stroke(cr);
}
void squareOutline(cairo_t* cr) {
    strokeWidth(cr, 0.08);
    cairo_rectangle(cr, 0.14, 0.14, 0.72, 0.72);
    cairo_stroke(cr);
}
using Polyline = std::initializer_list<Point>;

// Strokes open polylines, each starting a new segment of the path.
void strokeLines(cairo_t* cr, double w, std::initializer_list<Polyline> lines) {
    strokeWidth(cr, w);
    for (const Polyline& line : lines) {
        const Point* p = line.begin();
        cairo_move_to(cr, p->x, p->y);
        for (++p; p != line.end(); ++p) {
            cairo_line_to(cr, p->x, p->y);
        }
    }
    cairo_stroke(cr);
}

void diamondOutline(cairo_t* cr) {
    strokeWidth(cr, 0.08);
    cairo_move_to(cr, 0.5, 0.08);
    cairo_line_to(cr, 0.92, 0.5);
    cairo_line_to(cr, 0.5, 0.92);
    cairo_line_to(cr, 0.08, 0.5);
    cairo_close_path(cr);
    cairo_stroke(cr);
}
void check(cairo_t* cr) {
    strokeLines(cr, 0.09, {{{0.31, 0.5}, {0.45, 0.64}, {0.7, 0.37}}});
}
void cross(cairo_t* cr) {
    strokeLines(cr, 0.08, {{{0.35, 0.35}, {0.65, 0.65}}, {{0.65, 0.35}, {0.35, 0.65}}});
}
void plus(cairo_t* cr) {
    strokeLines(cr, 0.09, {{{0.5, 0.2}, {0.5, 0.8}}, {{0.2, 0.5}, {0.8, 0.5}}});
}
void minus(cairo_t* cr) {
    strokeLines(cr, 0.09, {{{0.2, 0.5}, {0.8, 0.5}}});
}

// An outline with a mark drawn over it.
template <Drawing Outline, Drawing Mark>
void marked(cairo_t* cr) {
    Outline(cr);
    Mark(cr);
}

const std::map<std::string, SymbolEntry>& symbols() {
    static const std::map<std::string, SymbolEntry> table = {
        {"x.circle", {0xe888, marked<circleOutline, cross>}},
        {"xmark.circle", {0xe888, marked<circleOutline, cross>}},
        {"checkmark.square", {0xe834, marked<squareOutline, check>}},
        {"square", {0xe835, squareOutline}},
        {"circle", {0xe836, circleOutline}},
        {"checkmark.circle", {0xe92d, marked<circleOutline, check>}},
        // The icon font's diamond is a gem; the outline rhombus is ours.
        {"diamond", {0, diamondOutline}},
        {"checkmark.diamond", {0, marked<diamondOutline, check>}},
        // A spirit level: a tube with a bubble between two marks.
        {"level",
         {0,
          [](cairo_t* cr) {
              strokeWidth(cr, 0.07);
              cairo_new_sub_path(cr);
              cairo_arc(cr, 0.22, 0.5, 0.16, kPi / 2, 3 * kPi / 2);
              cairo_arc(cr, 0.78, 0.5, 0.16, -kPi / 2, kPi / 2);
              cairo_close_path(cr);
              cairo_stroke(cr);
              cairo_move_to(cr, 0.37, 0.34);
              cairo_line_to(cr, 0.37, 0.66);
              cairo_move_to(cr, 0.63, 0.34);
              cairo_line_to(cr, 0.63, 0.66);
              cairo_stroke(cr);
              cairo_arc(cr, 0.5, 0.5, 0.08, 0, 2 * kPi);
              cairo_fill(cr);
          }}},
        {"plus.magnifyingglass", {0xe8ff, nullptr}},
        {"gear", {0xe8b8, nullptr}},
        {"backward", {0xe020, nullptr}},
        {"forward", {0xe01f, nullptr}},
        {"arrowtriangle.backward", {0xe5de, nullptr}},
        {"arrowtriangle.forward", {0xe5df, nullptr}},
        {"arrow.down.to.line", {0xe258, nullptr}},
        {"arrow.up.to.line", {0xe25a, nullptr}},
        {"timer", {0xe425, nullptr}},
        {"repeat", {0xe040, nullptr}},
        {"infinity", {0xeb3d, nullptr}},
        {"minus", {0xe15b, minus}},
        {"plus", {0xe145, plus}},
    };
    return table;
}

const std::map<std::string, Drawing>& assets() {
    static const std::map<std::string, Drawing> table = {
        // Bars of a tonal distribution over a base line.
        {"histogram",
         [](cairo_t* cr) {
             static const double heights[] = {0.18, 0.3,  0.5, 0.72, 0.86, 0.66,
                                              0.48, 0.58, 0.4, 0.24, 0.14};
             constexpr int n = sizeof heights / sizeof heights[0];
             double x0 = 0.08, width = 0.84 / n;
             for (int i = 0; i < n; ++i) {
                 cairo_rectangle(cr, x0 + i * width, 0.88 - heights[i] * 0.8, width * 0.8,
                                 heights[i] * 0.8);
             }
             cairo_rectangle(cr, 0.06, 0.88, 0.88, 0.05);
             cairo_fill(cr);
         }},
        // A camera: body with a viewfinder hump, a lens ring and a shutter button.
        {"IGglyph",
         [](cairo_t* cr) {
             strokeWidth(cr, 0.07);
             cairo_move_to(cr, 0.12, 0.3);
             cairo_line_to(cr, 0.34, 0.3);
             cairo_line_to(cr, 0.4, 0.18);
             cairo_line_to(cr, 0.6, 0.18);
             cairo_line_to(cr, 0.66, 0.3);
             cairo_line_to(cr, 0.88, 0.3);
             cairo_line_to(cr, 0.88, 0.82);
             cairo_line_to(cr, 0.12, 0.82);
             cairo_close_path(cr);
             cairo_stroke(cr);
             cairo_arc(cr, 0.5, 0.56, 0.16, 0, 2 * kPi);
             cairo_stroke(cr);
             cairo_rectangle(cr, 0.16, 0.2, 0.1, 0.06);
             cairo_fill(cr);
         }},
    };
    return table;
}

void drawUnit(cairo_t* cr, Drawing drawing, const Rect& box, const Color::Rgba& color) {
    cairo_save(cr);
    cairo_translate(cr, box.x, box.y);
    cairo_scale(cr, box.width, box.height);
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
    drawing(cr);
    cairo_restore(cr);
}

} // namespace

bool isKnownSymbol(const std::string& name) {
    return symbols().count(name) > 0;
}
bool isKnownAsset(const std::string& name) {
    return assets().count(name) > 0;
}

std::vector<std::string> knownSymbolNames() {
    std::vector<std::string> out;
    for (const auto& [name, entry] : symbols()) {
        out.push_back(name);
    }
    return out;
}

std::vector<std::string> knownAssetNames() {
    std::vector<std::string> out;
    for (const auto& [name, drawing] : assets()) {
        out.push_back(name);
    }
    return out;
}

bool symbolUsesIconFont(const std::string& name) {
    auto it = symbols().find(name);
    return it != symbols().end() && it->second.glyph != 0 && iconFontHasGlyph(it->second.glyph);
}

void drawSymbol(cairo_t* cr, const std::string& name, const Rect& box, const Color::Rgba& color) {
    auto it = symbols().find(name);
    if (it == symbols().end() || box.width <= 0 || box.height <= 0) {
        return;
    }
    double side = std::min(box.width, box.height);
    Rect square{box.midX() - side / 2, box.midY() - side / 2, side, side};
    if (it->second.glyph != 0 && iconFontHasGlyph(it->second.glyph)) {
        drawIconGlyph(cr, it->second.glyph, square, color);
    } else if (it->second.drawing != nullptr) {
        drawUnit(cr, it->second.drawing, square, color);
    }
}

void drawAsset(cairo_t* cr, const std::string& name, const Rect& box, const Color::Rgba& color) {
    auto it = assets().find(name);
    if (it != assets().end() && box.width > 0 && box.height > 0) {
        drawUnit(cr, it->second, box, color);
    }
}

} // namespace qv::platform::ui

#pragma once
// Text through Pango: measuring and drawing a string in a font with line limit,
// tail truncation and shrinking down to a minimum scale factor. Also draws
// glyphs of the icon font. One Pango context per thread (Pango objects are not
// shared between threads); the fonts come from fontconfig, with the icon font
// file added to our own configuration.

#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/drawing/Font.hpp"
#include "platform/ui/drawing/TextOptions.hpp"
#include "platform/ui/geometry/Geometry.hpp"

#include <memory>
#include <optional>
#include <string>

typedef struct _cairo cairo_t;
typedef struct _PangoLayout PangoLayout;

namespace qv::platform::ui {

/// A measured text, ready to draw. The Pango layout is shared with the
/// calling thread's layout cache and is never changed after it is made; draw it
/// on that thread (Pango objects are not thread-safe).
struct TextLayout {
    std::shared_ptr<PangoLayout> layout;
    Size size;             // points
    double linesWidth = 0; // the widest line, wider than `size` where a word does not fit
    double scale = 1;      // the factor the font was shrunk by (minimum scale factor)
    bool truncated = false;
    int lineCount = 0;
    int unknownGlyphs = 0;    // characters no installed font could draw
    Point inkOrigin;          // where the layout's logical box starts, in layout coordinates
    double firstBaseline = 0; // baselines of the first and last lines shown, in
    double lastBaseline = 0;  // points below the top of the logical box
};

/// The text laid out for the proposal. Layouts are remembered per thread (the
/// 2048 most recently used) for equal text, font, options and proposal: layout
/// asks a text for its size several times, places it with yet another proposal,
/// and screens are rebuilt often, mostly unchanged.
TextLayout layoutText(const std::string& text, const Font& font, const TextOptions& options,
                      ProposedSize proposal);
/// The size `layoutText` answers.
Size measureText(const std::string& text, const Font& font, const TextOptions& options,
                 ProposedSize proposal);
/// Draws the layout with its logical box's top-leading corner at `origin`.
void drawText(cairo_t* cr, const TextLayout& text, Point origin, const Color::Rgba& color);

/// Whether the icon font is loaded and holds a glyph for `codepoint`.
bool iconFontHasGlyph(char32_t codepoint);
/// Draws one icon-font glyph centred in `box`, its em as high as the box.
void drawIconGlyph(cairo_t* cr, char32_t codepoint, const Rect& box, const Color::Rgba& color);

} // namespace qv::platform::ui

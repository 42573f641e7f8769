#include "platform/ui/drawing/TextSystem.hpp"

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/drawing/detail/LruCache.hpp"

#include <cmath>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#ifndef QV_ICON_FONT_FILE
#define QV_ICON_FONT_FILE ""
#endif

namespace qv::platform::ui {
namespace {

constexpr const char* kIconFamily = "Material Icons";

// The per-thread Pango state: a font map over our fontconfig configuration
// (system fonts plus the icon font file) and a context without hinting, so a
// text measures the same at every drawing scale.
class TextContext {
public:
    TextContext() {
        FcConfig* config = FcInitLoadConfigAndFonts();
        if (config != nullptr && *QV_ICON_FONT_FILE != '\0') {
            FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(QV_ICON_FONT_FILE));
        }
        fontMap_ = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        if (config != nullptr && PANGO_IS_FC_FONT_MAP(fontMap_)) {
            pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap_), config);
        }
        if (config != nullptr) {
            FcConfigDestroy(config); // the font map holds its own reference
        }
        context_ = pango_font_map_create_context(fontMap_);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(context_, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(context_, FALSE);

        PangoFontDescription* desc = pango_font_description_new();
        pango_font_description_set_family(desc, kIconFamily);
        pango_font_description_set_absolute_size(desc, 24 * PANGO_SCALE);
        PangoFont* font = pango_font_map_load_font(fontMap_, context_, desc);
        pango_font_description_free(desc);
        if (font != nullptr) {
            PangoFontDescription* got = pango_font_describe(font);
            const char* family = pango_font_description_get_family(got);
            if (family != nullptr && std::string(family) == kIconFamily) {
                iconFont_ = font;
            } else {
                g_object_unref(font);
            }
            pango_font_description_free(got);
        }
    }
    ~TextContext() {
        if (iconFont_ != nullptr) {
            g_object_unref(iconFont_);
        }
        g_object_unref(context_);
        g_object_unref(fontMap_);
    }
    TextContext(const TextContext&) = delete;
    TextContext& operator=(const TextContext&) = delete;

    PangoContext* context() const { return context_; }
    PangoFont* iconFont() const { return iconFont_; }

    static TextContext& current() {
        thread_local TextContext instance;
        return instance;
    }

private:
    PangoFontMap* fontMap_ = nullptr;
    PangoContext* context_ = nullptr;
    PangoFont* iconFont_ = nullptr;
};

std::shared_ptr<PangoLayout> newLayout() {
    return {pango_layout_new(TextContext::current().context()), g_object_unref};
}

PangoWeight pangoWeight(FontWeight weight) {
    switch (weight) {
    case FontWeight::ultraLight:
        return PANGO_WEIGHT_ULTRALIGHT;
    case FontWeight::thin:
        return PANGO_WEIGHT_THIN;
    case FontWeight::light:
        return PANGO_WEIGHT_LIGHT;
    case FontWeight::regular:
        return PANGO_WEIGHT_NORMAL;
    case FontWeight::medium:
        return PANGO_WEIGHT_MEDIUM;
    case FontWeight::semibold:
        return PANGO_WEIGHT_SEMIBOLD;
    case FontWeight::bold:
        return PANGO_WEIGHT_BOLD;
    case FontWeight::heavy:
        return PANGO_WEIGHT_HEAVY;
    case FontWeight::black:
        return PANGO_WEIGHT_ULTRAHEAVY;
    }
    return PANGO_WEIGHT_NORMAL;
}

// Sets the layout's font: `family` at `size` points (absolute, so the
// context's resolution plays no part).
void setFont(PangoLayout* layout, const char* family, double size, PangoWeight weight) {
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, family);
    pango_font_description_set_weight(desc, weight);
    pango_font_description_set_absolute_size(desc, std::max(0.01, size) * PANGO_SCALE);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
}

// The text styles are set in Inter, which has every weight of the table (a real
// semibold for the headline); DejaVu serves where Inter is missing or has no glyph.
void setFont(PangoLayout* layout, const Font& font, double scale) {
    const char* family = font.design == FontDesign::monospaced ? "DejaVu Sans Mono"
                         : font.design == FontDesign::serif    ? "DejaVu Serif"
                                                               : "Inter,DejaVu Sans";
    setFont(layout, family, font.size * scale, pangoWeight(font.weight));
}

struct Attempt {
    Size size;
    Point origin;
    bool truncated = false;
    int lines = 0;
};

Attempt measure(PangoLayout* layout) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    Attempt a;
    a.origin = {pango_units_to_double(logical.x), pango_units_to_double(logical.y)};
    a.size = {pango_units_to_double(logical.width), pango_units_to_double(logical.height)};
    a.truncated = pango_layout_is_ellipsized(layout) != 0;
    a.lines = pango_layout_get_line_count(layout);
    return a;
}

bool finite(const std::optional<double>& v) {
    return v.has_value() && std::isfinite(*v);
}

// Lays the text out afresh.
TextLayout newTextLayout(const std::string& text, const Font& font, const TextOptions& options,
                         ProposedSize proposal) {
    TextLayout out;
    out.layout = newLayout();
    PangoLayout* layout = out.layout.get();
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    if (font.monospacedDigits) {
        PangoAttrList* attrs = pango_attr_list_new();
        pango_attr_list_insert(attrs, pango_attr_font_features_new("tnum 1"));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    }
    switch (options.alignment) {
    case TextAlignment::leading:
        pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
        break;
    case TextAlignment::center:
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        break;
    case TextAlignment::trailing:
        pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
        break;
    }
    bool bounded = finite(proposal.width);
    if (bounded) {
        pango_layout_set_width(layout, pango_units_from_double(std::max(0.0, *proposal.width)));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }

    // Lay out at `scale`, limited to the line limit and to the lines the proposed
    // height holds (at least one); true when the whole text fits.
    auto attempt = [&](double scale) {
        setFont(layout, font, scale);
        // Ellipsizing with the default height would keep one line per paragraph.
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
        pango_layout_set_height(layout, -1);
        Attempt a = measure(layout);
        int lines = options.lineLimit.value_or(0);
        if (finite(proposal.height) && a.lines > 0) {
            double lineHeight = a.size.height / a.lines;
            int fit =
                std::max(1, saturatingCast<int>(std::floor(*proposal.height / lineHeight + 1e-6)));
            lines = lines > 0 ? std::min(lines, fit) : fit;
        }
        if (bounded && lines > 0 && a.lines > lines) {
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
            pango_layout_set_height(layout, -lines);
            a = measure(layout);
            a.truncated = true;
        }
        return a;
    };

    double scale = 1.0;
    Attempt a = attempt(scale);
    double minScale = std::clamp(options.minimumScaleFactor, 0.01, 1.0);
    if (a.truncated && minScale < 1.0) {
        // Largest scale in [minScale, 1] at which nothing is cut off. A text cut
        // to one line shrinks in proportion to its width (no hinting), so the
        // ratio of the room to its natural width is tried first.
        std::optional<double> guess;
        if (a.lines == 1) {
            pango_layout_set_width(layout, -1);
            setFont(layout, font, 1.0);
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
            pango_layout_set_height(layout, -1);
            double natural = measure(layout).size.width;
            pango_layout_set_width(layout, pango_units_from_double(std::max(0.0, *proposal.width)));
            if (natural > 0) {
                guess = std::clamp(*proposal.width / natural * 0.9995, minScale, 1.0);
            }
        }
        Attempt atGuess;
        if (guess && !(atGuess = attempt(*guess)).truncated) {
            scale = *guess;
            a = atGuess;
        } else if (Attempt low = attempt(minScale); low.truncated) {
            scale = minScale;
            a = low;
        } else {
            double lo = minScale, hi = guess.value_or(1.0);
            for (int i = 0; i < 8; ++i) {
                double mid = (lo + hi) / 2;
                (attempt(mid).truncated ? hi : lo) = mid;
            }
            scale = lo;
            a = attempt(scale);
        }
    }
    out.scale = scale;
    out.truncated = a.truncated;
    out.lineCount = a.lines;
    out.size = a.size;
    out.linesWidth = a.size.width;
    if (bounded) {
        out.size.width = std::min(out.size.width, std::max(0.0, *proposal.width));
    }
    out.inkOrigin = a.origin;
    PangoLayoutIter* lines = pango_layout_get_iter(layout);
    out.firstBaseline = pango_units_to_double(pango_layout_iter_get_baseline(lines)) - a.origin.y;
    while (pango_layout_iter_next_line(lines)) {
    }
    out.lastBaseline = pango_units_to_double(pango_layout_iter_get_baseline(lines)) - a.origin.y;
    pango_layout_iter_free(lines);
    out.unknownGlyphs = pango_layout_get_unknown_glyphs_count(layout);
    return out;
}

} // namespace

TextLayout layoutText(const std::string& text, const Font& font, const TextOptions& options,
                      ProposedSize proposal) {
    // Key: every input that changes the answer, as raw bytes.
    thread_local std::string key;
    key.assign(text);
    auto add = [](const auto& v) { key.append(reinterpret_cast<const char*>(&v), sizeof v); };
    add(font.size);
    add(font.weight);
    add(font.design);
    add(font.monospacedDigits);
    add(options.lineLimit.value_or(-1));
    add(options.minimumScaleFactor);
    add(options.alignment);
    add(proposal.width.value_or(-1.0));
    add(proposal.height.value_or(-1.0));
    // Layouts are a few kilobytes each; a screen asks for a few hundred.
    thread_local LruCache<TextLayout> cache(2048);
    if (const TextLayout* hit = cache.find(key)) {
        return *hit;
    }
    TextLayout layout = newTextLayout(text, font, options, proposal);
    cache.insert(key, layout, 1);
    return layout;
}

Size measureText(const std::string& text, const Font& font, const TextOptions& options,
                 ProposedSize proposal) {
    return layoutText(text, font, options, proposal).size;
}

void drawText(cairo_t* cr, const TextLayout& text, Point origin, const Color::Rgba& color) {
    if (!text.layout) {
        return;
    }
    cairo_save(cr);
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
    cairo_move_to(cr, origin.x - text.inkOrigin.x, origin.y - text.inkOrigin.y);
    pango_cairo_show_layout(cr, text.layout.get());
    cairo_restore(cr);
}

bool iconFontHasGlyph(char32_t codepoint) {
    PangoFont* font = TextContext::current().iconFont();
    return font != nullptr && pango_font_has_char(font, static_cast<gunichar>(codepoint));
}

void drawIconGlyph(cairo_t* cr, char32_t codepoint, const Rect& box, const Color::Rgba& color) {
    if (!iconFontHasGlyph(codepoint)) {
        return;
    }
    char utf8[8] = {};
    int n = g_unichar_to_utf8(static_cast<gunichar>(codepoint), utf8);
    auto layout = newLayout();
    pango_layout_set_text(layout.get(), utf8, n);
    setFont(layout.get(), kIconFamily, std::min(box.width, box.height), PANGO_WEIGHT_NORMAL);
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    double w = pango_units_to_double(logical.width), h = pango_units_to_double(logical.height);
    cairo_save(cr);
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
    cairo_move_to(cr, box.midX() - w / 2 - pango_units_to_double(logical.x),
                  box.midY() - h / 2 - pango_units_to_double(logical.y));
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
}

} // namespace qv::platform::ui

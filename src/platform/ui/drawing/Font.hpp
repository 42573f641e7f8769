#pragma once
// Fonts: the table of text styles and system fonts by size, weight and design.

namespace qv::platform::ui {

enum class FontWeight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };
enum class FontDesign { standard, monospaced, rounded, serif };

enum class TextStyle {
    largeTitle,  // 34
    title,       // 28
    title2,      // 22
    title3,      // 20
    headline,    // 17 semibold
    body,        // 17
    callout,     // 16
    subheadline, // 15
    footnote,    // 13
    caption,     // 12
    caption2     // 11
};

/// A font value. Its point size also sizes symbol images drawn in it.
struct Font {
    double size = 17;
    FontWeight weight = FontWeight::regular;
    FontDesign design = FontDesign::standard;
    bool monospacedDigits = false;

    static Font style(TextStyle style);
    static Font system(double size, FontWeight weight = FontWeight::regular,
                       FontDesign design = FontDesign::standard) {
        return {size, weight, design, false};
    }
    static Font largeTitle() { return style(TextStyle::largeTitle); }
    static Font title() { return style(TextStyle::title); }
    static Font title2() { return style(TextStyle::title2); }
    static Font title3() { return style(TextStyle::title3); }
    static Font headline() { return style(TextStyle::headline); }
    static Font body() { return style(TextStyle::body); }
    static Font callout() { return style(TextStyle::callout); }
    static Font subheadline() { return style(TextStyle::subheadline); }
    static Font footnote() { return style(TextStyle::footnote); }
    static Font caption() { return style(TextStyle::caption); }
    static Font caption2() { return style(TextStyle::caption2); }

    Font withWeight(FontWeight w) const {
        Font f = *this;
        f.weight = w;
        return f;
    }
    /// Digits of equal advance, so changing numbers do not shift.
    Font monospacedDigit() const {
        Font f = *this;
        f.monospacedDigits = true;
        return f;
    }
    friend bool operator==(const Font&, const Font&) = default;
};

} // namespace qv::platform::ui

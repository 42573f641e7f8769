// Text: a string in the inherited font, wrapped, shrunk and cut to fit.

#include "platform/input/Gestures.hpp"
#include "platform/ui/drawing/TextSystem.hpp"
#include "platform/ui/views/Clipboard.hpp"
#include "platform/ui/views/detail/GestureSource.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Leaf.hpp"

#include <algorithm>

namespace qv::platform::ui::elements {
namespace {

// How long a press on a selectable text lasts before the text is copied.
constexpr double kSelectionPressSeconds = 0.5;
constexpr double kSelectionPressSlop = 10;

class TextElement final : public Leaf, public GestureSource {
public:
    TextElement(Init init, std::string text) : Leaf(std::move(init)), text_(std::move(text)) {}
    std::string text() const override { return text_; }
    bool hitsContent(Point p) const override { return frame().contains(p); }
    // The same layout (layouts are shared while their text, font and proposal stay) in the
    // same colour.
    bool drawsLike(const Element& other) const override {
        const auto& o = static_cast<const TextElement&>(other);
        return o.layout_.layout == layout_.layout && o.layout_.inkOrigin == layout_.inkOrigin &&
               o.environment().foregroundColor() == environment().foregroundColor();
    }
    std::optional<TextInfo> textInfo() const override {
        return TextInfo{layout_.scale, layout_.truncated, layout_.lineCount, layout_.unknownGlyphs};
    }
    // A selectable text copies itself whole on a long press: there is no partial
    // selection and no menu.
    void
    makeRecognizers(std::vector<std::unique_ptr<input::GestureRecognizer>>& out) const override {
        if (!environment().textSelectionEnabled || !environment().isEnabled) {
            return;
        }
        out.push_back(std::make_unique<input::LongPressRecognizer>(
            kSelectionPressSeconds, kSelectionPressSlop,
            [text = text_] { Clipboard::setText(text); }));
    }

protected:
    TextOptions options() const {
        const Environment& env = environment();
        return {env.lineLimit, env.minimumScaleFactor, env.multilineTextAlignment};
    }
    Size measure(ProposedSize p) override {
        return measureText(text_, environment().font, options(), p);
    }
    void placeChildren() override {
        // Lay out again for the frame given; a hair of slack keeps the line
        // breaks of the answer this frame was made from.
        constexpr double slack = 1e-3;
        layout_ = layoutText(text_, environment().font, options(),
                             {frame().width + slack, frame().height + slack});
    }
    bool drawsInOneOperation() const override { return true; }
    // A word too wide for the text's box is drawn past it (on either side, as the alignment
    // has it), lines too many for its height below it.
    Rect ownVisualBounds() const override { return linesBox(0); }
    // Glyphs may reach past the lines (italics, accents, a shrunk line): half the font's size
    // around them holds them.
    Rect ownDamageBounds() const override { return linesBox(environment().font.size / 2); }
    Rect linesBox(double margin) const {
        const double across = std::max(0.0, layout_.linesWidth - frame().width);
        const double down = std::max(0.0, layout_.size.height - frame().height);
        return toScreen().apply(frame().insetBy(-margin - across, -margin - down));
    }
    std::optional<double> textBaseline(bool last) const override {
        return frame().y + (last ? layout_.lastBaseline : layout_.firstBaseline);
    }
    void drawSelf(const RenderContext& ctx) const override {
        auto color = colorFor(ctx, environment().foregroundColor());
        drawText(ctx.cr, layout_, frame().origin(), color);
    }

private:
    std::string text_;
    TextLayout layout_;
};

} // namespace

Ptr text(Init init, std::string text) {
    return std::make_unique<TextElement>(std::move(init), std::move(text));
}

} // namespace qv::platform::ui::elements

// Geometry readers: content built during layout from the space given.

#include "platform/ui/views/elements/LayoutElement.hpp"

namespace qv::platform::ui::elements {
namespace {

class GeometryReaderElement final : public LayoutElement {
public:
    GeometryReaderElement(Init init, std::function<View(const GeometryProxy&)> content,
                          ResolveContext context)
        : LayoutElement(std::move(init)), content_(std::move(content)),
          context_(std::move(context)) {}

protected:
    Size measure(ProposedSize p) override { return {p.width.value_or(10), p.height.value_or(10)}; }

    void placeChildren() override {
        children_.clear();
        const Rect& f = frame();
        const Rect& safe = placeContext().safeArea;
        GeometryProxy proxy;
        proxy.size = f.size();
        proxy.globalFrame = f;
        // How far the unsafe margins reach into the reader's bounds.
        proxy.safeAreaInsets = {std::clamp(safe.minY() - f.minY(), 0.0, f.height),
                                std::clamp(safe.minX() - f.minX(), 0.0, f.width),
                                std::clamp(f.maxY() - safe.maxY(), 0.0, f.height),
                                std::clamp(f.maxX() - safe.maxX(), 0.0, f.width)};
        View view = detail::withContext(context_, [&] { return content_(proxy); });
        ElementList content;
        detail::resolveView(view, context_, content);
        for (auto& c : content) {
            addChild(std::move(c));
        }
        for (auto& c : children_) {
            placeChild(*c, f, Alignment::topLeading());
        }
    }

private:
    std::function<View(const GeometryProxy&)> content_;
    ResolveContext context_;
};

} // namespace

Ptr geometryReader(Init init, std::function<View(const GeometryProxy&)> content,
                   ResolveContext contentContext) {
    return std::make_unique<GeometryReaderElement>(std::move(init), std::move(content),
                                                   std::move(contentContext));
}

} // namespace qv::platform::ui::elements

// Reaching into the safe area: edges on its boundary move out to the screen's.

#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Wrapper.hpp"

namespace qv::platform::ui::elements {
namespace {

class SafeAreaElement final : public Wrapper {
public:
    SafeAreaElement(Init init, Ptr child, Edges edges)
        : Wrapper(std::move(init), std::move(child)), edges_(edges) {}

protected:
    Size measure(ProposedSize p) override { return content().sizeThatFits(p); }
    // Edges that touch the safe area's boundary reach out to the screen's.
    void placeChildren() override {
        const Rect& f = frame();
        const Rect& safe = placeContext().safeArea;
        const Rect& screen = placeContext().screen;
        constexpr double eps = 0.5;
        double x0 = f.minX(), y0 = f.minY(), x1 = f.maxX(), y1 = f.maxY();
        if (contains(edges_, Edges::top) && y0 <= safe.minY() + eps) {
            y0 = std::min(y0, screen.minY());
        }
        if (contains(edges_, Edges::leading) && x0 <= safe.minX() + eps) {
            x0 = std::min(x0, screen.minX());
        }
        if (contains(edges_, Edges::bottom) && y1 >= safe.maxY() - eps) {
            y1 = std::max(y1, screen.maxY());
        }
        if (contains(edges_, Edges::trailing) && x1 >= safe.maxX() - eps) {
            x1 = std::max(x1, screen.maxX());
        }
        placeChild(content(), {x0, y0, x1 - x0, y1 - y0}, Alignment::center());
    }

private:
    Edges edges_;
};

} // namespace

Ptr ignoresSafeArea(Init init, Ptr child, Edges edges) {
    return std::make_unique<SafeAreaElement>(std::move(init), std::move(child), edges);
}

} // namespace qv::platform::ui::elements

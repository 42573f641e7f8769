// Vertical and horizontal stacks: children along an axis, sharing its length.

#include "platform/ui/views/elements/LayoutElement.hpp"

#include <algorithm>
#include <numeric>

namespace qv::platform::ui::elements {
namespace {

class StackElement final : public LayoutElement {
public:
    StackElement(Init init, Axis axis, int cross, double spacing, ElementList children)
        : LayoutElement(std::move(init)), axis_(axis), cross_(cross), spacing_(spacing) {
        for (auto& c : children) {
            addChild(std::move(c));
        }
    }

protected:
    Size measure(ProposedSize p) override {
        auto sizes = distribute(mainOf(p), crossOf(p));
        if (byBaseline()) {
            auto base = baselines(sizes);
            double above = 0, below = 0;
            for (size_t i = 0; i < sizes.size(); ++i) {
                above = std::max(above, base[i]);
                below = std::max(below, sizes[i].height - base[i]);
            }
            return {total(sizes), above + below};
        }
        return make(total(sizes), crossExtent(sizes));
    }

    void placeChildren() override {
        auto sizes = distribute(mainOf(frame()), crossOf(frame()));
        if (byBaseline()) {
            placeOnBaseline(sizes);
            return;
        }
        double pos = axis_ == Axis::horizontal ? frame().x : frame().y;
        double crossStart = axis_ == Axis::horizontal ? frame().y : frame().x;
        double crossSize = axis_ == Axis::horizontal ? frame().height : frame().width;
        for (size_t i = 0; i < children_.size(); ++i) {
            Size s = sizes[i];
            double m = axis_ == Axis::horizontal ? s.width : s.height;
            double c = axis_ == Axis::horizontal ? s.height : s.width;
            double at = crossStart + (crossSize - c) * (cross_ / 2.0);
            Rect r = axis_ == Axis::horizontal ? Rect{pos, at, m, c} : Rect{at, pos, c, m};
            placeChildAt(*children_[i], r);
            pos += m + spacing_;
        }
    }

private:
    bool byBaseline() const { return axis_ == Axis::horizontal && cross_ >= 3; }
    // Each child's baseline below its top, placed at its size: its texts'
    // first or last baseline, or its bottom when it shows no text.
    std::vector<double> baselines(const std::vector<Size>& sizes) {
        std::vector<double> out(sizes.size());
        for (size_t i = 0; i < sizes.size(); ++i) {
            Rect at{frame().x, frame().y, sizes[i].width, sizes[i].height};
            placeChildAt(*children_[i], at);
            out[i] = children_[i]->textBaseline(cross_ == 4).value_or(at.maxY()) - at.y;
        }
        return out;
    }
    // Children side by side with their baselines on one line, the highest
    // reaching the top of the frame.
    void placeOnBaseline(const std::vector<Size>& sizes) {
        auto base = baselines(sizes);
        double line = frame().y + (base.empty() ? 0 : *std::max_element(base.begin(), base.end()));
        double x = frame().x;
        for (size_t i = 0; i < sizes.size(); ++i) {
            Rect at{x, line - base[i], sizes[i].width, sizes[i].height};
            if (at != children_[i]->frame()) {
                placeChildAt(*children_[i], at);
            }
            x += sizes[i].width + spacing_;
        }
    }
    std::optional<double> mainOf(ProposedSize p) const {
        return axis_ == Axis::horizontal ? p.width : p.height;
    }
    std::optional<double> crossOf(ProposedSize p) const {
        return axis_ == Axis::horizontal ? p.height : p.width;
    }
    std::optional<double> mainOf(const Rect& r) const {
        return axis_ == Axis::horizontal ? r.width : r.height;
    }
    std::optional<double> crossOf(const Rect& r) const {
        return axis_ == Axis::horizontal ? r.height : r.width;
    }
    ProposedSize propose(std::optional<double> main, std::optional<double> cross) const {
        return axis_ == Axis::horizontal ? ProposedSize{main, cross} : ProposedSize{cross, main};
    }
    double mainOf(Size s) const { return axis_ == Axis::horizontal ? s.width : s.height; }
    Size make(double main, double cross) const {
        return axis_ == Axis::horizontal ? Size{main, cross} : Size{cross, main};
    }
    double total(const std::vector<Size>& sizes) const {
        double sum = 0;
        for (const auto& s : sizes) {
            sum += mainOf(s);
        }
        return sizes.empty() ? 0 : sum + spacing_ * static_cast<double>(sizes.size() - 1);
    }
    double crossExtent(const std::vector<Size>& sizes) const {
        double m = 0;
        for (const auto& s : sizes) {
            m = std::max(m, axis_ == Axis::horizontal ? s.height : s.width);
        }
        return m;
    }

    // The size of each child for the space along the axis. Without a proposal
    // each child takes its ideal size. Otherwise children are served in groups of
    // equal layout priority, the highest first; a group shares what is free once the
    // lower groups' minimum lengths are set aside. Within a group the least flexible
    // are served first and spacers last, each getting an equal share of what the
    // group still has free and taking what it answers.
    std::vector<Size> distribute(std::optional<double> main, std::optional<double> cross) {
        size_t n = children_.size();
        std::vector<Size> sizes(n);
        if (!main) {
            for (size_t i = 0; i < n; ++i) {
                sizes[i] = children_[i]->sizeThatFits(propose(std::nullopt, cross));
            }
            return sizes;
        }
        std::vector<double> minimum(n), flexibility(n);
        for (size_t i = 0; i < n; ++i) {
            minimum[i] = mainOf(children_[i]->sizeThatFits(propose(0.0, cross)));
            double hi = mainOf(children_[i]->sizeThatFits(propose(kInfinity, cross)));
            flexibility[i] = hi - minimum[i];
        }
        std::vector<size_t> order(n);
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            const Element& ea = *children_[a];
            const Element& eb = *children_[b];
            if (ea.layoutPriority() != eb.layoutPriority()) {
                return ea.layoutPriority() > eb.layoutPriority();
            }
            if (ea.isSpacer() != eb.isSpacer()) {
                return !ea.isSpacer();
            }
            return flexibility[a] < flexibility[b];
        });
        double remaining = *main - (n > 0 ? spacing_ * static_cast<double>(n - 1) : 0.0);
        for (size_t start = 0; start < n;) {
            const double priority = children_[order[start]]->layoutPriority();
            size_t end = start;
            while (end < n && children_[order[end]]->layoutPriority() == priority) {
                ++end;
            }
            double reserved = 0;
            for (size_t k = end; k < n; ++k) {
                reserved += minimum[order[k]];
            }
            double free = remaining - reserved;
            for (size_t k = start; k < end; ++k) {
                const size_t i = order[k];
                const double share = std::max(0.0, free) / static_cast<double>(end - k);
                sizes[i] = children_[i]->sizeThatFits(propose(share, cross));
                free -= mainOf(sizes[i]);
                remaining -= mainOf(sizes[i]);
            }
            start = end;
        }
        return sizes;
    }

    Axis axis_;
    int cross_;
    double spacing_;
};

} // namespace

Ptr stack(Init init, Axis axis, int crossAlignment, double spacing, ElementList children) {
    return std::make_unique<StackElement>(std::move(init), axis, crossAlignment, spacing,
                                          std::move(children));
}

} // namespace qv::platform::ui::elements

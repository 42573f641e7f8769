#include "platform/ui/scene/Damage.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <algorithm>
#include <cmath>
#include <typeinfo>

namespace qv::platform::ui {

namespace {

constexpr std::size_t kMostRects = 8;

bool meet(const PixelRect& a, const PixelRect& b) {
    return a.x <= b.x + b.width && b.x <= a.x + a.width && a.y <= b.y + b.height &&
           b.y <= a.y + a.height;
}

PixelRect holding(const PixelRect& a, const PixelRect& b) {
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width);
    const int y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

// Whether `after` draws otherwise than `before` in its place, itself or through the effect it
// applies to its content. A leaf's drawing follows its frame and transform; a container's
// own drawing, if any, says so in drawsLike (its children are compared one by one).
bool differ(const Element& before, const Element& after) {
    if (typeid(before) != typeid(after) || before.zIndex() != after.zIndex() ||
        before.children().size() != after.children().size() || !after.drawsLike(before)) {
        return true;
    }
    return after.children().empty() &&
           (before.frame() != after.frame() || before.toScreen() != after.toScreen());
}

} // namespace

void Damage::add(const Rect& points, double scale) {
    if (!isFinite(points) || !std::isfinite(scale) || points.width <= 0 || points.height <= 0) {
        return;
    }
    const int x0 = saturatingCast<int>(std::floor(points.minX() * scale)) - 1;
    const int y0 = saturatingCast<int>(std::floor(points.minY() * scale)) - 1;
    const int x1 = saturatingCast<int>(std::ceil(points.maxX() * scale)) + 1;
    const int y1 = saturatingCast<int>(std::ceil(points.maxY() * scale)) + 1;
    add(PixelRect{x0, y0, x1 - x0, y1 - y0});
}

void Damage::add(const PixelRect& pixels) {
    if (!pixels.empty()) {
        rects_.push_back(pixels);
    }
}

std::vector<PixelRect> Damage::within(int width, int height) const {
    std::vector<PixelRect> out;
    for (const PixelRect& r : rects_) {
        const int x0 = std::clamp(r.x, 0, width), y0 = std::clamp(r.y, 0, height);
        const int x1 = std::clamp(r.x + r.width, 0, width);
        const int y1 = std::clamp(r.y + r.height, 0, height);
        PixelRect clipped{x0, y0, x1 - x0, y1 - y0};
        if (clipped.empty()) {
            continue;
        }
        // Merged with every rectangle it meets, and the result again, until none is met.
        for (auto it = out.begin(); it != out.end();) {
            if (meet(*it, clipped)) {
                clipped = holding(*it, clipped);
                out.erase(it);
                it = out.begin();
            } else {
                ++it;
            }
        }
        out.push_back(clipped);
    }
    if (out.size() > kMostRects) {
        PixelRect all = out.front();
        for (const PixelRect& r : out) {
            all = holding(all, r);
        }
        out = {all};
    }
    return out;
}

void addChanges(const Element& before, const Element& after, double scale, Damage& damage) {
    if (differ(before, after)) {
        damage.add(before.damageOnScreen(), scale);
        damage.add(after.damageOnScreen(), scale);
        return;
    }
    for (std::size_t i = 0; i < after.children().size(); ++i) {
        addChanges(*before.children()[i], *after.children()[i], scale, damage);
    }
}

} // namespace qv::platform::ui

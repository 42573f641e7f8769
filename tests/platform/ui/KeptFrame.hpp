#pragma once
// A graph's frames drawn as a window draws them: into one buffer that keeps the last frame,
// only what changed (ViewGraph::renderChanges), with the whole frame drawn anew to compare.

#include "platform/ui/graph/ViewGraph.hpp"

#include <cstdint>
#include <vector>

namespace qv::platform::ui::testing {

class KeptFrame {
public:
    KeptFrame(ViewGraph& graph, int width, int height)
        : graph_(graph), width_(width), height_(height),
          pixels_(std::size_t(width) * std::size_t(height), 0xff000000u) {}

    // Rebuilds if due and draws what changed since the last frame.
    std::vector<PixelRect> next() {
        graph_.update();
        const bool fresh = first_;
        first_ = false;
        return graph_.renderChanges(pixels_.data(), width_, height_, width_ * 4, fresh);
    }
    // The whole frame drawn anew into a buffer of its own.
    std::vector<std::uint32_t> whole() const {
        std::vector<std::uint32_t> all(pixels_.size(), 0xff000000u);
        graph_.renderInto(all.data(), width_, height_, width_ * 4);
        return all;
    }
    // The pixels of the kept frame that differ from the whole frame drawn anew.
    int pixelsOff() const {
        const auto all = whole();
        int off = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            off += all[i] != pixels_[i] ? 1 : 0;
        }
        return off;
    }
    std::uint32_t at(int x, int y) const { return pixels_[std::size_t(y * width_ + x)]; }

private:
    ViewGraph& graph_;
    int width_, height_;
    std::vector<std::uint32_t> pixels_;
    bool first_ = true;
};

} // namespace qv::platform::ui::testing

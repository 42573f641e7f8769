#include "platform/ui/drawing/Bitmap.hpp"

#include <algorithm>
#include <cmath>

namespace qv::platform::ui {

namespace {

// How one source pixel of an axis splits over the pixels of a shorter one: its
// share of the destination pixel `first` and, when it straddles a border, of the next.
struct Share {
    int first = 0;
    float weight = 0;
    float nextWeight = 0;
};

std::vector<Share> sharesOf(int source, int destination) {
    std::vector<Share> shares(static_cast<std::size_t>(source));
    const double ratio = static_cast<double>(destination) / source;
    for (int k = 0; k < source; ++k) {
        const double start = k * ratio;
        const double end = (k + 1) * ratio;
        const int first = std::min(static_cast<int>(start), destination - 1);
        const double inFirst = std::min(end, first + 1.0) - start;
        const bool straddles = first + 1 < destination && end > first + 1.0;
        shares[static_cast<std::size_t>(k)] = {first, static_cast<float>(inFirst),
                                               straddles ? static_cast<float>(end - (first + 1.0))
                                                         : 0.0f};
    }
    return shares;
}

// Area-average reduction of premultiplied ARGB32 pixels, one source row at a time:
// each row is reduced across into floats, then added into the one or two destination
// rows it covers; a destination row is written once its last source row is in.
std::vector<std::uint32_t> reduce(const std::uint32_t* pixels, int width, int height, int toWidth,
                                  int toHeight) {
    const std::vector<Share> across = sharesOf(width, toWidth);
    const std::vector<Share> down = sharesOf(height, toHeight);
    const auto w = static_cast<std::size_t>(toWidth);
    std::vector<float> row(w * 4);
    std::vector<float> sums(w * 4 * 2); // the destination rows j and j + 1, by j % 2
    std::vector<std::uint32_t> out(w * static_cast<std::size_t>(toHeight));
    const auto writeRow = [&](int j) {
        float* sum = sums.data() + static_cast<std::size_t>(j % 2) * w * 4;
        std::uint32_t* target = out.data() + static_cast<std::size_t>(j) * w;
        for (std::size_t i = 0; i < w; ++i) {
            std::uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) {
                const float v = std::clamp(sum[i * 4 + static_cast<std::size_t>(c)], 0.0f, 255.0f);
                pixel |= static_cast<std::uint32_t>(std::lround(v)) << (8 * c);
            }
            target[i] = pixel;
        }
        std::fill(sum, sum + w * 4, 0.0f);
    };
    int pending = 0; // the first destination row not yet written
    for (int y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0.0f);
        const std::uint32_t* source = pixels + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const Share& s = across[static_cast<std::size_t>(x)];
            float* into = row.data() + static_cast<std::size_t>(s.first) * 4;
            for (int c = 0; c < 4; ++c) {
                const auto value = static_cast<float>((source[x] >> (8 * c)) & 0xffu);
                into[c] += value * s.weight;
                if (s.nextWeight > 0) {
                    into[4 + c] += value * s.nextWeight;
                }
            }
        }
        const Share& s = down[static_cast<std::size_t>(y)];
        while (pending < s.first) {
            writeRow(pending++);
        }
        float* first = sums.data() + static_cast<std::size_t>(s.first % 2) * w * 4;
        float* next = sums.data() + static_cast<std::size_t>((s.first + 1) % 2) * w * 4;
        for (std::size_t i = 0; i < w * 4; ++i) {
            first[i] += row[i] * s.weight;
            next[i] += row[i] * s.nextWeight;
        }
    }
    while (pending < toHeight) {
        writeRow(pending++);
    }
    return out;
}

} // namespace

Bitmap Bitmap::fromRgba(int width, int height, const std::uint8_t* rgba, double scale) {
    if (width <= 0 || height <= 0 || rgba == nullptr) {
        return {};
    }
    std::vector<std::uint32_t> px(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < px.size(); ++i) {
        const std::uint8_t* s = rgba + 4 * i;
        std::uint32_t a = s[3];
        auto pre = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        px[i] = (a << 24) | (pre(s[0]) << 16) | (pre(s[1]) << 8) | pre(s[2]);
    }
    return fromArgb(width, height, std::move(px), scale);
}

Bitmap Bitmap::fromArgb(int width, int height, std::vector<std::uint32_t> pixels, double scale) {
    Bitmap b;
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return b;
    }
    b.width_ = width;
    b.height_ = height;
    b.scale_ = scale > 0 && std::isfinite(scale) ? scale : 1.0;
    b.storage_ = std::make_shared<Storage>();
    b.storage_->pixels = std::move(pixels);
    return b;
}

Bitmap Bitmap::reducedTo(int width, int height) const {
    width = std::clamp(width, 1, std::max(width_, 1));
    height = std::clamp(height, 1, std::max(height_, 1));
    if (empty() || (width == width_ && height == height_)) {
        return *this;
    }
    std::lock_guard lock(storage_->mutex);
    auto& kept = storage_->reductions;
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->width_ == width && it->height_ == height) {
            std::rotate(kept.begin(), it, it + 1);
            return kept.front();
        }
    }
    // The reduced copy covers the same points as the whole picture.
    const double scale = scale_ * width / width_;
    Bitmap reduced =
        fromArgb(width, height, reduce(pixels(), width_, height_, width, height), scale);
    kept.insert(kept.begin(), reduced);
    if (kept.size() > 2) {
        kept.pop_back();
    }
    return reduced;
}

} // namespace qv::platform::ui

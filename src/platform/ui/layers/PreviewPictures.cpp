#include "platform/ui/layers/PreviewPictures.hpp"

#include "platform/media/PixelFormat.hpp"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <utility>

namespace qv::platform::ui::detail {

namespace {

// Averages of 2 x 2 pixels of 'BGRA' rows (an odd last row or column with itself): two
// channels at a time in the halves of 32-bit words, rounded.
void halve(const std::uint32_t* from, std::size_t fromStride, std::size_t width, std::size_t height,
           std::vector<std::uint32_t>& to) {
    const std::size_t w = (width + 1) / 2, h = (height + 1) / 2;
    to.resize(w * h);
    constexpr std::uint32_t low = 0x00ff00ffu;
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint32_t* top = from + 2 * y * fromStride;
        const std::uint32_t* bottom = 2 * y + 1 < height ? top + fromStride : top;
        std::uint32_t* out = to.data() + y * w;
        for (std::size_t x = 0; x < w; ++x) {
            const std::size_t left = 2 * x, right = std::min(2 * x + 1, width - 1);
            const std::uint32_t a = top[left], b = top[right], c = bottom[left], d = bottom[right];
            const std::uint32_t even =
                ((a & low) + (b & low) + (c & low) + (d & low) + 0x00020002u) >> 2 & low;
            const std::uint32_t odd =
                ((a >> 8 & low) + (b >> 8 & low) + (c >> 8 & low) + (d >> 8 & low) + 0x00020002u) >>
                    2 &
                low;
            out[x] = even | odd << 8;
        }
    }
}

// The frame's pixels turned upright: its pixel (x, y) becomes (height - 1 - y, x). In
// tiles, so the column writes stay in the cache.
void turn(const std::uint32_t* from, std::size_t fromStride, std::size_t width, std::size_t height,
          std::vector<std::uint32_t>& to) {
    to.resize(width * height);
    constexpr std::size_t tile = 32;
    for (std::size_t y0 = 0; y0 < height; y0 += tile) {
        for (std::size_t x0 = 0; x0 < width; x0 += tile) {
            for (std::size_t y = y0; y < std::min(y0 + tile, height); ++y) {
                const std::uint32_t* row = from + y * fromStride;
                for (std::size_t x = x0; x < std::min(x0 + tile, width); ++x) {
                    to[x * height + (height - 1 - y)] = row[x];
                }
            }
        }
    }
}

// The frame upright, halved `halvings` times; its pixels are this thread's scratch.
struct Upright {
    const std::uint32_t* pixels;
    int width, height;
};

Upright upright(PixelBuffer& frame, int halvings) {
    thread_local std::vector<std::uint32_t> halved[2];
    thread_local std::vector<std::uint32_t> turned;
    std::size_t w = frame.width(), h = frame.height();
    frame.lock(true);
    const std::uint32_t* pixels = frame.row<std::uint32_t>(0);
    std::size_t stride = frame.bytesPerRow() / 4;
    for (int i = 0; i < halvings; ++i) {
        std::vector<std::uint32_t>& into = halved[i % 2];
        halve(pixels, stride, w, h, into);
        w = (w + 1) / 2;
        h = (h + 1) / 2;
        pixels = into.data();
        stride = w;
    }
    turn(pixels, stride, w, h, turned);
    frame.unlock(true);
    return {turned.data(), static_cast<int>(h), static_cast<int>(w)};
}

} // namespace

int Placement::pixelsWide() const {
    return std::max(1, static_cast<int>(std::ceil(offsetX + width)));
}

int Placement::pixelsHigh() const {
    return std::max(1, static_cast<int>(std::ceil(offsetY + height)));
}

std::optional<Placement> placementOf(cairo_t* cr, const Rect& frame) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0 || m.xx <= 0 || m.yy <= 0 || frame.width <= 0 || frame.height <= 0) {
        return std::nullopt;
    }
    const double x = m.xx * frame.x + m.x0, y = m.yy * frame.y + m.y0;
    if (!std::isfinite(x) || !std::isfinite(y)) {
        return std::nullopt;
    }
    return Placement{m.xx * frame.width, m.yy * frame.height, x - std::floor(x), y - std::floor(y)};
}

void paintUpright(cairo_t* cr, PixelBuffer& frame, const Rect& rect, double opacity) {
    // Upright, the frame is as wide as it is high: its point (u, v) lands at
    // (w' (1 - v), h' u) of the rectangle. Halved while the device takes less than half of
    // its pixels across.
    const double uprightWidth = static_cast<double>(frame.height());
    double across = rect.width / uprightWidth, down = 0;
    cairo_user_to_device_distance(cr, &across, &down);
    double perPixel = std::hypot(across, down);
    int halvings = 0;
    while (perPixel < 0.5 && (frame.height() >> halvings) >= 2 &&
           (frame.width() >> halvings) >= 2) {
        ++halvings;
        perPixel *= 2;
    }
    const Upright source = upright(frame, halvings);
    const double scale = std::ldexp(1.0, -halvings); // halved pixels per frame pixel
    // 'BGRA' bytes are Cairo's native 32-bit pixels; the alpha byte is not read.
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(source.pixels)),
        CAIRO_FORMAT_RGB24, source.width, source.height, source.width * 4);
    cairo_save(cr);
    cairo_translate(cr, rect.x, rect.y);
    cairo_scale(cr, rect.width / (static_cast<double>(frame.height()) * scale),
                rect.height / (static_cast<double>(frame.width()) * scale));
    cairo_set_source_surface(cr, surface, 0, 0);
    // A plain bilinear filter unless the frame is still reduced by more than half (a
    // frame of one or two pixels).
    cairo_pattern_set_filter(cairo_get_source(cr),
                             perPixel < 0.5 ? CAIRO_FILTER_GOOD : CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, opacity);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

void PreviewPictures::draw(const std::shared_ptr<PixelBuffer>& frame, const Placement& placement,
                           bool living, const std::function<void(const PreparedPicture&)>& draw) {
    std::unique_lock lock(mutex_);
    wanted_ = placement;
    const auto usable = [&](const std::shared_ptr<PreparedPicture>& p) {
        return p && p->placement == placement && (living || p->frame == frame);
    };
    if (!usable(latest_)) {
        const std::shared_ptr<PreparedPicture> before = latest_;
        std::shared_ptr<PreparedPicture> reused = std::exchange(spare_, nullptr);
        lock.unlock();
        std::shared_ptr<PreparedPicture> made = prepare(frame, placement, std::move(reused));
        lock.lock();
        if (latest_ != before && usable(latest_)) {
            // The queue finished a newer picture for this placement meanwhile.
            made->frame = nullptr;
            spare_ = std::move(made);
        } else {
            keep(std::move(made));
        }
    }
    draw(*latest_);
}

void PreviewPictures::frameArrived(const std::shared_ptr<CaptureVideoPreviewLayer>& layer,
                                   const std::function<void()>& redraw) {
    std::unique_lock lock(mutex_);
    if (!wanted_) {
        lock.unlock();
        redraw();
        return;
    }
    if (queued_) {
        return; // the preparation queued takes the newest frame
    }
    queued_ = true;
    if (!queue_) {
        queue_ = std::make_unique<DispatchQueue>("preview pictures", QoS::userInteractive);
    }
    queue_->async([weak = weak_from_this(), weakLayer = std::weak_ptr(layer), redraw] {
        const auto self = weak.lock();
        const auto shown = weakLayer.lock();
        if (self && shown) {
            self->prepareNewest(*shown, redraw);
        }
    });
}

void PreviewPictures::prepareNewest(CaptureVideoPreviewLayer& layer,
                                    const std::function<void()>& redraw) {
    std::unique_lock lock(mutex_);
    queued_ = false;
    const Placement placement = *wanted_;
    std::shared_ptr<PreparedPicture> reused = std::exchange(spare_, nullptr);
    lock.unlock();
    const std::shared_ptr<PixelBuffer> frame = layer.latestFrame();
    if (frame && frame->pixelFormat() == pixelformat::bgra32) {
        std::shared_ptr<PreparedPicture> made = prepare(frame, placement, std::move(reused));
        lock.lock();
        keep(std::move(made));
        lock.unlock();
    }
    redraw();
}

std::shared_ptr<PreparedPicture> PreviewPictures::prepare(const std::shared_ptr<PixelBuffer>& frame,
                                                          const Placement& placement,
                                                          std::shared_ptr<PreparedPicture> reused) {
    auto picture = reused ? std::move(reused) : std::make_shared<PreparedPicture>();
    picture->frame = frame;
    picture->placement = placement;
    picture->width = placement.pixelsWide();
    picture->height = placement.pixelsHigh();
    picture->pixels.resize(static_cast<std::size_t>(picture->width) *
                           static_cast<std::size_t>(picture->height));
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(picture->pixels.data()), CAIRO_FORMAT_RGB24,
        picture->width, picture->height, picture->width * 4);
    cairo_t* cr = cairo_create(surface);
    // Every pixel as the frame gives it, its edges not cut: the draw cuts them.
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_translate(cr, placement.offsetX, placement.offsetY);
    paintUpright(cr, *frame, {0, 0, placement.width, placement.height}, 1);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    return picture;
}

void PreviewPictures::keep(std::shared_ptr<PreparedPicture> made) {
    if (latest_) {
        latest_->frame = nullptr;
    }
    spare_ = std::exchange(latest_, std::move(made));
}

} // namespace qv::platform::ui::detail

#include "platform/ui/drawing/ImageBitmaps.hpp"

#include "platform/imaging/ColorProfiles.hpp"

#include <map>
#include <mutex>
#include <optional>

namespace qv::platform::ui {

namespace {

// Where the upright pixel (x, y) is stored: column = ax x + bx y + cx,
// row = ay x + by y + cy, for an image stored `width` x `height`.
struct StoredPosition {
    long ax, bx, cx, ay, by, cy;
};

StoredPosition storedPosition(ImageOrientation orientation, long width, long height) {
    switch (orientation) {
    case ImageOrientation::up:
        break;
    case ImageOrientation::upMirrored:
        return {-1, 0, width - 1, 0, 1, 0};
    case ImageOrientation::down:
        return {-1, 0, width - 1, 0, -1, height - 1};
    case ImageOrientation::downMirrored:
        return {1, 0, 0, 0, -1, height - 1};
    case ImageOrientation::leftMirrored:
        return {0, 1, 0, 1, 0, 0};
    case ImageOrientation::right:
        return {0, 1, 0, -1, 0, height - 1};
    case ImageOrientation::rightMirrored:
        return {0, -1, width - 1, -1, 0, height - 1};
    case ImageOrientation::left:
        return {0, -1, width - 1, 1, 0, 0};
    }
    return {1, 0, 0, 0, 1, 0};
}

// Upright pixel of each stored one: the inverse of storedPosition, applied row by row
// as the stored rows are converted.
std::uint32_t premultiplied(const std::uint8_t* rgba) {
    const std::uint32_t a = rgba[3];
    const auto pre = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (pre(rgba[0]) << 16) | (pre(rgba[1]) << 8) | pre(rgba[2]);
}

} // namespace

Bitmap bitmapFromImage(const RgbaImage& image) {
    if (image.empty()) {
        return {};
    }
    const long width = static_cast<long>(image.width());
    const long height = static_cast<long>(image.height());
    const bool swap = swapsSides(image.orientation);
    const long uprightWidth = swap ? height : width;
    const long uprightHeight = swap ? width : height;
    // Stored (column, row) to upright (x, y): the inverse of the linear map of
    // storedPosition, whose matrix is a signed permutation (its own transpose inverts it).
    const StoredPosition p = storedPosition(image.orientation, width, height);
    const auto uprightIndex = [&](long column, long row) {
        const long u = column - p.cx, v = row - p.cy;
        const long x = p.ax * u + p.ay * v;
        const long y = p.bx * u + p.by * v;
        return static_cast<std::size_t>(y * uprightWidth + x);
    };

    const bool srgb8 = image.colorSpace == ColorSpace::sRGB && image.bitsPerChannel() == 8;
    std::optional<imaging::ColorConversion> conversion;
    if (!srgb8) {
        conversion.emplace(image.colorSpace, image.bitsPerChannel(), ColorSpace::sRGB, 8);
    }
    std::vector<std::uint8_t> converted(srgb8 ? 0 : image.samplesPerRow());
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height));
    for (long row = 0; row < height; ++row) {
        const std::uint8_t* rgba = nullptr;
        const auto y = static_cast<std::size_t>(row);
        if (srgb8) {
            rgba = image.row8(y).data();
        } else {
            const void* source = image.bitsPerChannel() == 8
                                     ? static_cast<const void*>(image.row8(y).data())
                                     : static_cast<const void*>(image.row16(y).data());
            conversion->convert(source, converted.data(), image.width());
            rgba = converted.data();
        }
        for (long column = 0; column < width; ++column) {
            pixels[uprightIndex(column, row)] = premultiplied(rgba + column * 4);
        }
    }
    return Bitmap::fromArgb(static_cast<int>(uprightWidth), static_cast<int>(uprightHeight),
                            std::move(pixels), image.scale);
}

Bitmap bitmapOf(const std::shared_ptr<const RgbaImage>& image) {
    if (!image) {
        return {};
    }
    struct Entry {
        std::weak_ptr<const RgbaImage> image;
        Bitmap bitmap;
    };
    // Views may be drawn on several threads (offscreen renders), so one mutex guards
    // the entries; an entry goes once its image object has.
    static std::mutex mutex;
    static std::map<const RgbaImage*, Entry> entries;
    std::lock_guard lock(mutex);
    std::erase_if(entries, [](const auto& entry) { return entry.second.image.expired(); });
    if (auto it = entries.find(image.get()); it != entries.end()) {
        return it->second.bitmap;
    }
    Bitmap bitmap = bitmapFromImage(*image);
    entries[image.get()] = {image, bitmap};
    return bitmap;
}

} // namespace qv::platform::ui

#include "platform/capture/CapturedPhotoFactory.hpp"

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <algorithm>
#include <cmath>

namespace qv::platform {

namespace {

namespace key = metadata;

// A value in [-1, 1] that depends on position, channel and seed only.
double pattern(std::size_t x, std::size_t y, std::size_t channel, unsigned seed) {
    std::uint32_t h = std::uint32_t(x) * 0x9E3779B1u ^ std::uint32_t(y) * 0x85EBCA77u ^
                      std::uint32_t(channel) * 0xC2B2AE3Du ^ seed * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return double(h % 2001u) / 1000.0 - 1.0;
}

template <class T>
T sample(double fraction, double low, double high, double noise, double jitter) {
    const double v = low + std::clamp(fraction + noise * jitter, 0.0, 1.0) * (high - low);
    return saturatingRound<T>(v);
}

} // namespace

void fillSyntheticPixels(PixelBuffer& buffer, const SyntheticPhotoOptions& o) {
    buffer.lock();
    const auto bayer = bayerPattern(buffer.pixelFormat());
    for (std::size_t y = 0; y < buffer.height(); ++y) {
        for (std::size_t x = 0; x < buffer.width(); ++x) {
            if (bayer) {
                const auto color = std::size_t((*bayer)[(y % 2) * 2 + x % 2]);
                const double neutral = color < o.asShotNeutral.size() ? o.asShotNeutral[color] : 1;
                buffer.row<std::uint16_t>(y)[x] =
                    sample<std::uint16_t>(o.level * neutral, o.blackLevel, o.whiteLevel, o.noise,
                                          pattern(x, y, 0, o.seed));
            } else if (buffer.pixelFormat() == pixelformat::rgba64LE) {
                auto* px = buffer.row<std::uint16_t>(y) + x * 4;
                for (std::size_t c = 0; c < 3; ++c) {
                    px[c] =
                        sample<std::uint16_t>(o.level, 0, 65535, o.noise, pattern(x, y, c, o.seed));
                }
                px[3] = 65535;
            } else {
                auto* px = buffer.row<std::uint8_t>(y) + x * 4;
                for (std::size_t c = 0; c < 3; ++c) {
                    px[c] =
                        sample<std::uint8_t>(o.level, 0, 255, o.noise, pattern(x, y, c, o.seed));
                }
                px[3] = 255;
            }
        }
    }
    buffer.unlock();
}

std::shared_ptr<CapturedPhoto> makeSyntheticPhoto(const SyntheticPhotoOptions& o) {
    CapturedPhoto::Properties p;
    const bool bayer = bayerPattern(o.pixelFormat).has_value();
    p.isRawPhoto = bayer || o.pixelFormat == pixelformat::rgba64LE;
    if (o.withPixelBuffer) {
        p.pixelBuffer = PixelBuffer::make(o.width, o.height, o.pixelFormat);
        if (p.pixelBuffer) {
            fillSyntheticPixels(*p.pixelBuffer, o);
        }
    }
    p.sequenceCount = o.sequenceCount;
    p.photoCount = o.photoCount;
    p.resolvedSettings = o.resolvedSettings;
    p.timestamp = o.timestamp;
    p.sourceDeviceType = o.sourceDeviceType;
    auto& exif = p.metadata.dictionary(key::exifGroup);
    exif.set(key::exifExposureTime, o.exposureSeconds);
    exif.set(key::exifISOSpeedRatings, MetadataList{MetadataValue(o.iso)});
    auto& tiff = p.metadata.dictionary(key::tiffGroup);
    tiff.set(key::tiffMake, "Quarn Vesil");
    tiff.set(key::tiffModel, "Simulated Camera");
    if (bayer) {
        auto& dng = p.metadata.dictionary(key::dngGroup);
        dng.set(key::dngBlackLevel, o.blackLevel);
        dng.set(key::dngWhiteLevel, o.whiteLevel);
        dng.set(key::dngAsShotNeutral,
                MetadataList(o.asShotNeutral.begin(), o.asShotNeutral.end()));
    }
    return CapturedPhoto::make(std::move(p));
}

} // namespace qv::platform

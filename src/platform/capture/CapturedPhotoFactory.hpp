#pragma once

#include "platform/capture/CapturedPhoto.hpp"

#include <vector>

namespace qv::platform {

// Synthetic photos for tests and demos: a flat grey scene at `level` (0 to 1
// of the sensor range) with a deterministic pattern of +-`noise` on top,
// different for every seed, and the metadata a camera attaches.
struct SyntheticPhotoOptions {
    std::size_t width = 64;
    std::size_t height = 48;
    FourCharCode pixelFormat = pixelformat::bayer14RGGB; // Bayer, 'l64r' or 'BGRA'
    bool withPixelBuffer = true;
    double level = 0.2;
    double noise = 0.02;
    unsigned seed = 1;
    // Metadata: {Exif} ExposureTime and ISOSpeedRatings, {TIFF} Make and
    // Model; for Bayer photos the {DNG} levels and neutral.
    double exposureSeconds = 0.008;
    int iso = 100;
    std::uint32_t blackLevel = 528;
    std::uint32_t whiteLevel = 16383;
    std::vector<double> asShotNeutral{0.5, 1.0, 0.7};
    // Capture
    int sequenceCount = 0;
    int photoCount = 1;
    ResolvedPhotoSettings resolvedSettings{1, 1};
    MediaTime timestamp = MediaTime::zero();
    std::optional<CaptureDeviceType> sourceDeviceType = CaptureDeviceType::builtInWideAngleCamera;
};

// The photo counts as RAW for Bayer and 'l64r' formats.
std::shared_ptr<CapturedPhoto> makeSyntheticPhoto(const SyntheticPhotoOptions& options = {});

// Fills a buffer of any of those formats with the options' flat grey and pattern (the
// size and format are the buffer's own).
void fillSyntheticPixels(PixelBuffer& buffer, const SyntheticPhotoOptions& options);

} // namespace qv::platform

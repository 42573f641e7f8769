#pragma once

#include "engine/GpuMergeFrame.hpp"
#include "platform/capture/CapturedPhoto.hpp"
#include "platform/capture/CapturedPhotoFactory.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qv::testing {

// A captured photo whose pixels come from fill(x, y, channel) for each
// stored channel (B, G, R, A for 'BGRA'; R, G, B, A for 'l64r'), with an
// Exif exposure time of 0.00798 s.
PhotoPtr makePhoto(platform::FourCharCode format, std::size_t width, std::size_t height,
                   const std::function<std::uint16_t(std::size_t, std::size_t, std::size_t)>& fill);

// A Bayer RAW photo of width x height with the metadata of `options` (DNG
// levels and neutral, exposure time, capture properties) and its samples from
// fill(x, y).
PhotoPtr makeBayerPhoto(std::size_t width, std::size_t height,
                        const std::function<std::uint16_t(std::size_t, std::size_t)>& fill,
                        platform::SyntheticPhotoOptions options = {});

// A processed photo of one colour (B, G, R as stored, opaque).
PhotoPtr solidColour(std::size_t width, std::size_t height, std::uint8_t b, std::uint8_t g,
                     std::uint8_t r);

// The stored channels of a result file, decoded by the imaging layer (a TIFF
// of a processed photo back in B, G, R, A order; a DNG's samples as stored).
std::vector<std::uint16_t> channelsOf(const FileData& data, platform::FourCharCode format);

// The samples of a Bayer result file; empty (and a test failure) when there
// is no result.
std::vector<std::uint16_t> bayerSamplesOf(const std::optional<FileData>& data);

// The Exif exposure time written into a result file.
std::optional<double> exposureTimeOf(const FileData& data);

// Rewrites the exposure time of every encoding to 2 s.
class TwoSecondCustomizer final : public Customizer {
public:
    platform::MetadataDictionary replacementMetadata(const platform::CapturedPhoto& photo) override;
};

} // namespace qv::testing

#pragma once

#include "platform/capture/CapturedPhoto.hpp"

#include <atomic>
#include <cmath>
#include <optional>

namespace qv {

// Rewrites the Exif exposure time of every merged result it encodes: the
// override when one is set (the night run's whole length), otherwise the
// photo's own exposure time moved onto the nearest standard shutter speed.
// Everything else in the metadata passes through.
class MetaDataCustomizer final : public platform::PhotoFileDataCustomizer {
public:
    // The one instance the mergers encode through.
    static MetaDataCustomizer& shared();

    // Written by the camera controller at the start of every run, read while
    // encoding on the photo queue.
    std::optional<double> overwriteShutterSpeed() const;
    void setOverwriteShutterSpeed(std::optional<double> seconds);

    platform::MetadataDictionary replacementMetadata(const platform::CapturedPhoto& photo) override;

private:
    std::atomic<double> override{std::nan("")}; // NaN: none
};

} // namespace qv

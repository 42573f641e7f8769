#pragma once

#include "engine/GpuPhotoMerger.hpp"

#include <cstdint>
#include <memory>

namespace qv {

// Merges a light-trail run of Bayer RAW photos into two pictures at once: one
// pass per frame adds it to the sum and raises the per-pixel maximum. Result
// index 1 is the plain average; any other index the light trail (the
// maximum). Each result is written into the latest photo and encoded before
// the other is made, so they may be asked for in either order; neither
// changes the sum, the maximum or the count.
//
// The latest photo is held strongly: the capture loop lets go of its batch
// before an aborted run is finished, and the results must survive that.
class MetalLightTrailRAWPhotoMerger final : public GpuPhotoMerger {
public:
    // The merger for a run whose first photo is `photo`; nothing when its GPU
    // objects cannot be made. countFirstPhoto false: 0 frames, both work
    // textures cleared.
    static std::unique_ptr<MetalLightTrailRAWPhotoMerger>
    make(const PhotoPtr& photo, bool countFirstPhoto, Customizer& customizer);

    // Prints "Adding photo takes <s> seconds".
    void addPhoto(const PhotoPtr& photo) override;
    // The compensation is not used.
    std::optional<FileData> resultData(int index, double exposureCompensation) override;

    // Clear the sum or the maximum; no counter changes.
    void resetAccumulation();
    void resetMaxFrames();
    // The light-trail picture.
    std::optional<FileData> maxFramesResultData();

private:
    MetalLightTrailRAWPhotoMerger(std::unique_ptr<GpuMergeFrame> frame, Customizer& customizer)
        : GpuPhotoMerger(std::move(frame), customizer) {}
};

} // namespace qv

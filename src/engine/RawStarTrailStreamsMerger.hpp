#pragma once

#include "engine/RawStreamsMerger.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

namespace qv {

// Star trails from a run of two-exposure Bayer RAW brackets, made outside the
// merger choice. Each exposure (the photo's sequenceCount, 1 or 2) is summed
// in a stream of its own, as in the bracket mergers. Once both streams hold a
// group's worth of frames since the last group, the group closes: the mean of
// the group's frames of both streams is written into stream 1's latest photo,
// both sums are cleared, and that average is folded into a running per-pixel
// maximum, the trail. A photo a stream refuses or drops only delays the
// group; it never stops grouping.
//
// The result is the trail once a group has closed (frames after the last
// group are not in it). Before that, the open group is closed by the result
// itself, so its average is the picture and later results give the same; with
// nothing accumulated the photo stays as it was. The picture is written into
// stream 1's latest photo and encoded with the photo's own metadata; nothing
// when stream 1 has no photo. The index and the compensation are not used.
//
// Console texts: as the bracket mergers ("Metal Problem").
class MetalStarTrailsRAWPhotoMerger final : public RawStreamsMerger {
public:
    // The merger for a run whose first photo is `photo` (added to its stream),
    // closing a group every `numberOfFramesToAverage` frames per stream (0 is
    // taken as 1); nothing when its GPU objects cannot be made.
    static std::unique_ptr<MetalStarTrailsRAWPhotoMerger>
    make(const PhotoPtr& photo, std::uint32_t numberOfFramesToAverage);

    std::uint32_t totalFrames2() const { return totalFrames(2); }
    // Frames of stream 2 in the open group.
    std::uint32_t subTotalFrames() const { return groupFrames_[1]; }
    std::uint32_t numberOfFramesToAverage() const { return numberOfFramesToAverage_; }
    // Groups folded into the trail.
    std::uint32_t numberOfMaxedFrames() const { return numberOfMaxedFrames_; }

    std::optional<FileData> resultData(int index, double exposureCompensation) override;

private:
    MetalStarTrailsRAWPhotoMerger(std::unique_ptr<GpuMergeFrame> frame,
                                  std::uint32_t numberOfFramesToAverage)
        : RawStreamsMerger(std::move(frame), 2),
          numberOfFramesToAverage_(std::max<std::uint32_t>(numberOfFramesToAverage, 1)) {}

    // Pipelines of the kernels this merger adds to the streams' own
    // (starTrailer, getMaxFrame, frameAveragerNightMode).
    static constexpr std::size_t trailerPipeline = firstOwnPipeline;
    static constexpr std::size_t maximumPipeline = firstOwnPipeline + 1;
    static constexpr std::size_t groupAveragerPipeline = firstOwnPipeline + 2;

    void accumulated(int number) override;
    // With both streams held: the open group's mean into `output` (nothing
    // when the group is empty), both sums cleared, the mean folded into the
    // trail. False when the averaging pass failed.
    bool closeGroup(const platform::compute::Texture& output);

    std::uint32_t numberOfFramesToAverage_;
    std::array<std::uint32_t, 2> groupFrames_{}; // per stream, since the last group
    std::uint32_t numberOfMaxedFrames_ = 0;
};

} // namespace qv

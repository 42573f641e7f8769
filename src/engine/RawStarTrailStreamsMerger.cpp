#include "engine/RawStarTrailStreamsMerger.hpp"

#include "engine/MergerSupport.hpp"

namespace qv {

namespace {

// After the two streams' sums.
constexpr std::size_t maxFramesTexture = 2;
// The group average is taken as it is.
constexpr std::uint32_t groupGain = 1;

} // namespace

std::unique_ptr<MetalStarTrailsRAWPhotoMerger>
MetalStarTrailsRAWPhotoMerger::make(const PhotoPtr& photo, std::uint32_t numberOfFramesToAverage) {
    auto frame =
        makeFrame(photo, {2, 3, {"starTrailer", "getMaxFrame", "frameAveragerNightMode"}, 1});
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<MetalStarTrailsRAWPhotoMerger> merger(
        new MetalStarTrailsRAWPhotoMerger(std::move(frame), numberOfFramesToAverage));
    merger->addPhoto(photo);
    return merger;
}

void MetalStarTrailsRAWPhotoMerger::accumulated(int number) {
    ++groupFrames_[std::size_t(number - 1)];
    if (groupFrames_[0] < numberOfFramesToAverage_ || groupFrames_[1] < numberOfFramesToAverage_) {
        return;
    }
    auto first = claim(1);
    auto second = claim(2);
    if (!first || !second) {
        return;
    }
    // The group goes into stream 1's latest photo; when its texture cannot be
    // made, the group stays open and the next photo tries again.
    const auto output = frame().makeTexture(keptPhoto(1)->pixelBuffer());
    if (output && !closeGroup(*output)) {
        first->keepBusyForGood();
        second->keepBusyForGood();
    }
}

bool MetalStarTrailsRAWPhotoMerger::closeGroup(const platform::compute::Texture& output) {
    const std::uint32_t frames = groupFrames_[0] + groupFrames_[1];
    if (frames == 0) {
        return true;
    }
    if (!frame().runPass("NightMode", groupAveragerPipeline, {output, sumOf(1), sumOf(2)},
                         {GpuMergeFrame::bytes(frames), GpuMergeFrame::bytes(groupGain)})) {
        return false;
    }
    // A sum that could not be cleared keeps its frames for the next group.
    for (int number : {1, 2}) {
        if (clearSum(number)) {
            groupFrames_[std::size_t(number - 1)] = 0;
        }
    }
    if (frame().runPass("Maxer", trailerPipeline,
                        {output, frame().workTexture(maxFramesTexture)})) {
        ++numberOfMaxedFrames_;
    }
    return true;
}

std::optional<FileData> MetalStarTrailsRAWPhotoMerger::resultData(int, double) {
    const PhotoPtr kept = keptPhoto(1);
    if (!kept) {
        return std::nullopt;
    }
    auto first = claim(1);
    auto second = claim(2);
    if (!first || !second) {
        return std::nullopt;
    }
    const auto output = frame().makeTexture(kept->pixelBuffer());
    if (!output) {
        return std::nullopt;
    }
    const bool ran = numberOfMaxedFrames_ > 0 ? merger::copyMaxFrames(frame(), maximumPipeline,
                                                                      maxFramesTexture, *output)
                                              : closeGroup(*output);
    if (!ran) {
        first->keepBusyForGood();
        second->keepBusyForGood();
        return std::nullopt;
    }
    first.reset();
    second.reset();
    return plainFileData(*kept);
}

} // namespace qv

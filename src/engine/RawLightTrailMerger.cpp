#include "engine/RawLightTrailMerger.hpp"

#include "engine/MergerSupport.hpp"
#include "platform/console/Console.hpp"

namespace qv {

using platform::print;
using platform::compute::Texture;

namespace {

enum Pipeline : std::size_t {
    accumulatorPipeline,
    averagerPipeline,
    maximumPipeline,
    clearingPipeline
};
enum WorkTexture : std::size_t { accumulationTexture, maxFramesTexture };

} // namespace

std::unique_ptr<MetalLightTrailRAWPhotoMerger>
MetalLightTrailRAWPhotoMerger::make(const PhotoPtr& photo, bool countFirstPhoto,
                                    Customizer& customizer) {
    GpuMergeFrame::Setup setup;
    setup.kernels = {"lightTrailer", "frameAverager", "resetAccumulator", "starTrailer2"};
    setup.pipelines = {"lightTrailer", "frameAverager", "starTrailer2", "resetAccumulator"};
    setup.formats = mergeformats::bayer;
    setup.workTextures = 2;
    setup.textureCaches = 2;
    auto frame = photo ? GpuMergeFrame::make(photo->pixelBuffer(), setup) : nullptr;
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<MetalLightTrailRAWPhotoMerger> merger(
        new MetalLightTrailRAWPhotoMerger(std::move(frame), customizer));
    merger->avPhoto_ = photo;
    merger->addPhoto(photo);
    if (!countFirstPhoto) {
        merger->resetAccumulation();
        merger->resetMaxFrames();
        merger->totalFrames1_ = 0;
    }
    return merger;
}

void MetalLightTrailRAWPhotoMerger::addPhoto(const PhotoPtr& photo) {
    const auto start = platform::monotonicNow();
    auto admitted = merger::addition(*frame_, photo, [&](const Texture& texture) {
        return frame_->runPass("Accumulation", accumulatorPipeline,
                               {texture, frame_->workTexture(accumulationTexture),
                                frame_->workTexture(maxFramesTexture)});
    });
    if (!admitted) {
        return;
    }
    countFrame(photo);
    admitted.reset();
    merger::printAdditionTime(start);
}

void MetalLightTrailRAWPhotoMerger::resetAccumulation() {
    merger::clearOnItsOwn(*frame_, clearingPipeline, frame_->workTexture(accumulationTexture));
}

void MetalLightTrailRAWPhotoMerger::resetMaxFrames() {
    merger::clearOnItsOwn(*frame_, clearingPipeline, frame_->workTexture(maxFramesTexture));
}

std::optional<FileData> MetalLightTrailRAWPhotoMerger::resultData(int index, double) {
    if (index != 1) {
        return maxFramesResultData();
    }
    return merger::averageResult(*frame_, avPhoto_, *customizer_, averagerPipeline,
                                 accumulationTexture, totalFrames1_);
}

std::optional<FileData> MetalLightTrailRAWPhotoMerger::maxFramesResultData() {
    return merger::maxFramesResult(*frame_, avPhoto_, *customizer_, maximumPipeline,
                                   maxFramesTexture);
}

} // namespace qv

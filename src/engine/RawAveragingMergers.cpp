#include "engine/RawAveragingMergers.hpp"

#include "engine/MergerSupport.hpp"

namespace qv {

using platform::compute::Texture;

namespace {

enum Pipeline : std::size_t { accumulatorPipeline, averagerPipeline, clearingPipeline };
constexpr std::size_t accumulationTexture = 0;

constexpr RawAveragingMerger::Kind bayerKind{mergeformats::bayer, "frameAccumulator",
                                             "frameAverager", "resetAccumulator"};
constexpr RawAveragingMerger::Kind proRawKind{mergeformats::proRaw, "proFrameAccumulator",
                                              "proFrameAverager", "proResetAccumulator"};

} // namespace

std::unique_ptr<GpuMergeFrame> RawAveragingMerger::makeFrame(const PhotoPtr& photo,
                                                             const Kind& kind) {
    GpuMergeFrame::Setup setup;
    setup.kernels = {kind.accumulator, kind.clearing, kind.averager};
    setup.pipelines = {kind.accumulator, kind.averager, kind.clearing};
    setup.formats = kind.formats;
    setup.printBufferAfterLookups = true;
    return GpuMergeFrame::make(photo->pixelBuffer(), setup);
}

template <class Merger>
std::unique_ptr<Merger> RawAveragingMerger::make(const PhotoPtr& photo, bool countFirstPhoto,
                                                 Customizer& customizer, const Kind& kind) {
    auto frame = makeFrame(photo, kind);
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<Merger> merger(new Merger(std::move(frame), customizer));
    merger->start(photo, countFirstPhoto);
    return merger;
}

void RawAveragingMerger::start(const PhotoPtr& photo, bool countFirstPhoto) {
    avPhoto_ = photo;
    addPhoto(photo);
    if (!countFirstPhoto) {
        resetAccumulation();
    }
}

std::unique_ptr<MetalRAWPhotoMerger>
MetalRAWPhotoMerger::make(const PhotoPtr& photo, bool countFirstPhoto, Customizer& customizer) {
    return RawAveragingMerger::make<MetalRAWPhotoMerger>(photo, countFirstPhoto, customizer,
                                                         bayerKind);
}

std::unique_ptr<MetalProRawPhotoMerger>
MetalProRawPhotoMerger::make(const PhotoPtr& photo, bool countFirstPhoto, Customizer& customizer) {
    return RawAveragingMerger::make<MetalProRawPhotoMerger>(photo, countFirstPhoto, customizer,
                                                            proRawKind);
}

void RawAveragingMerger::addPhoto(const PhotoPtr& photo) {
    // Held to the end, so the count and the kept photo change while busy.
    const auto admitted = merger::addition(*frame_, photo, [&](const Texture& texture) {
        return frame_->runPass("Accumulation", accumulatorPipeline,
                               {texture, frame_->workTexture(accumulationTexture)});
    });
    if (!admitted) {
        return;
    }
    countFrame(photo);
}

void RawAveragingMerger::resetAccumulation() {
    if (merger::clearOnItsOwn(*frame_, clearingPipeline,
                              frame_->workTexture(accumulationTexture))) {
        totalFrames1_ = 0;
    }
}

std::optional<FileData> RawAveragingMerger::resultData(int, double) {
    return merger::averageResult(*frame_, avPhoto_, *customizer_, averagerPipeline,
                                 accumulationTexture, totalFrames1_);
}

} // namespace qv

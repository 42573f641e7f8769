#include "engine/RawStreamsMerger.hpp"

#include "engine/MergerSupport.hpp"
#include "platform/console/Console.hpp"

namespace qv {

using platform::print;

namespace {

enum Pipeline : std::size_t { accumulatorPipeline, averagerPipeline, clearingPipeline };
constexpr const char* averagerLabels[RawStreamsMerger::maxStreams] = {"Averager", "Averager2",
                                                                      "Averager3"};

} // namespace

std::unique_ptr<GpuMergeFrame> RawStreamsMerger::makeFrame(const PhotoPtr& photo,
                                                           const Kind& kind) {
    GpuMergeFrame::Setup setup;
    setup.kernels = {"frameAccumulator", "resetAccumulator", "frameAverager"};
    setup.pipelines = {"frameAccumulator", "frameAverager", "resetAccumulator"};
    setup.formats = mergeformats::bayer;
    setup.workTextures = kind.streams;
    setup.textureCaches = kind.textureCaches;
    return photo ? GpuMergeFrame::make(photo->pixelBuffer(), setup) : nullptr;
}

std::unique_ptr<MetalDualRAWPhotoMerger> MetalDualRAWPhotoMerger::make(const PhotoPtr& photo,
                                                                       bool countFirstPhoto) {
    const auto start = platform::monotonicNow();
    auto frame = makeFrame(photo, {2, 2});
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<MetalDualRAWPhotoMerger> merger(
        new MetalDualRAWPhotoMerger(std::move(frame), 2));
    print("Dual RAW merger init took", merger::secondsSince(start));
    merger->addPhoto(photo);
    if (!countFirstPhoto) {
        merger->resetAll();
    }
    return merger;
}

std::unique_ptr<MetalTripleRAWPhotoMerger> MetalTripleRAWPhotoMerger::make(const PhotoPtr& photo) {
    auto frame = makeFrame(photo, {3, 3});
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<MetalTripleRAWPhotoMerger> merger(
        new MetalTripleRAWPhotoMerger(std::move(frame), 3));
    merger->addPhoto(photo);
    return merger;
}

RawStreamsMerger::Stream* RawStreamsMerger::stream(int number) {
    return number >= 1 && std::size_t(number) <= streamCount_ ? &streams_[number - 1] : nullptr;
}

std::uint32_t RawStreamsMerger::totalFrames(int number) const {
    return number >= 1 && std::size_t(number) <= streamCount_ ? streams_[number - 1].frames.load()
                                                              : 0;
}

void RawStreamsMerger::addPhoto(const PhotoPtr& photo) {
    const auto& buffer = photo ? photo->pixelBuffer() : nullptr;
    const auto& sum = frame_->workTexture(0);
    Stream* target = photo ? stream(photo->sequenceCount()) : nullptr;
    if (!buffer || buffer->width() != sum.width() || buffer->height() != sum.height() || !target) {
        print("Metal Problem");
        return;
    }
    bool idle = false;
    if (!target->busy.compare_exchange_strong(idle, true)) {
        return;
    }
    GpuMergeFrame::BusyClaim claim(target->busy);
    const auto texture = frame_->makeTexture(buffer);
    if (!texture) {
        print("Metal Problem");
        return;
    }
    const std::size_t index = std::size_t(target - streams_.data());
    if (!frame_->runPass("Accumulation", accumulatorPipeline,
                         {*texture, frame_->workTexture(index)})) {
        claim.keepBusyForGood();
        return;
    }
    target->kept = photo;
    ++target->frames;
}

std::optional<FileData> RawStreamsMerger::resultData(int index, double) {
    Stream* source = stream(index);
    if (!source || !source->kept) {
        return std::nullopt;
    }
    bool idle = false;
    if (!source->busy.compare_exchange_strong(idle, true)) {
        return std::nullopt;
    }
    GpuMergeFrame::BusyClaim claim(source->busy);
    const auto texture = frame_->makeTexture(source->kept->pixelBuffer());
    if (!texture) {
        return std::nullopt;
    }
    const std::uint32_t count = source->frames;
    if (!frame_->runPass(averagerLabels[index - 1], averagerPipeline,
                         {*texture, frame_->workTexture(std::size_t(index - 1))},
                         {GpuMergeFrame::bytes(count)})) {
        claim.keepBusyForGood();
        return std::nullopt;
    }
    auto data = source->kept->fileDataRepresentation();
    if (!data) {
        return std::nullopt;
    }
    return std::move(*data);
}

void RawStreamsMerger::resetAccumulation(int number) {
    Stream* target = stream(number);
    bool idle = false;
    if (!target || !target->busy.compare_exchange_strong(idle, true)) {
        return;
    }
    GpuMergeFrame::BusyClaim claim(target->busy);
    if (!frame_->runPass("ResetAverager", clearingPipeline,
                         {frame_->workTexture(std::size_t(number - 1))})) {
        claim.keepBusyForGood();
    }
}

void RawStreamsMerger::resetAll() {
    for (std::size_t i = 0; i < streamCount_; ++i) {
        resetAccumulation(int(i) + 1);
    }
    for (std::size_t i = 0; i < streamCount_; ++i) {
        streams_[i].frames = 0;
    }
}

} // namespace qv

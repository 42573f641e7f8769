#include "engine/RawStreamsMerger.hpp"

#include "engine/MergerSupport.hpp"
#include "platform/console/Console.hpp"

namespace qv {

using platform::print;

namespace {

constexpr const char* averagerLabels[RawStreamsMerger::maxStreams] = {"Averager", "Averager2",
                                                                      "Averager3"};

} // namespace

std::unique_ptr<GpuMergeFrame> RawStreamsMerger::makeFrame(const PhotoPtr& photo,
                                                           const Kind& kind) {
    GpuMergeFrame::Setup setup;
    setup.kernels = {"frameAccumulator", "resetAccumulator", "frameAverager"};
    setup.pipelines = {"frameAccumulator", "frameAverager", "resetAccumulator"};
    setup.kernels.insert(setup.kernels.end(), kind.ownKernels.begin(), kind.ownKernels.end());
    setup.pipelines.insert(setup.pipelines.end(), kind.ownKernels.begin(), kind.ownKernels.end());
    setup.formats = mergeformats::bayer;
    setup.workTextures = kind.streams + kind.ownWorkTextures;
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
    const int number = photo ? photo->sequenceCount() : 0;
    if (!buffer || buffer->width() != sum.width() || buffer->height() != sum.height() ||
        !stream(number)) {
        print("Metal Problem");
        return;
    }
    {
        auto busy = claim(number);
        if (!busy) {
            return;
        }
        const auto texture = frame_->makeTexture(buffer);
        if (!texture) {
            print("Metal Problem");
            return;
        }
        if (!frame_->runPass("Accumulation", accumulatorPipeline, {*texture, sumOf(number)})) {
            busy->keepBusyForGood();
            return;
        }
        Stream& target = *stream(number);
        target.kept = photo;
        ++target.frames;
    }
    accumulated(number);
}

std::optional<FileData> RawStreamsMerger::resultData(int index, double) {
    const PhotoPtr kept = keptPhoto(index);
    if (!kept) {
        return std::nullopt;
    }
    auto busy = claim(index);
    if (!busy) {
        return std::nullopt;
    }
    const auto texture = frame_->makeTexture(kept->pixelBuffer());
    if (!texture) {
        return std::nullopt;
    }
    const std::uint32_t count = totalFrames(index);
    if (!frame_->runPass(averagerLabels[index - 1], averagerPipeline, {*texture, sumOf(index)},
                         {GpuMergeFrame::bytes(count)})) {
        busy->keepBusyForGood();
        return std::nullopt;
    }
    busy.reset();
    return plainFileData(*kept);
}

PhotoPtr RawStreamsMerger::keptPhoto(int number) const {
    return number >= 1 && std::size_t(number) <= streamCount_ ? streams_[number - 1].kept : nullptr;
}

std::optional<GpuMergeFrame::BusyClaim> RawStreamsMerger::claim(int number) {
    Stream* target = stream(number);
    bool idle = false;
    if (!target || !target->busy.compare_exchange_strong(idle, true)) {
        return std::nullopt;
    }
    return GpuMergeFrame::BusyClaim(target->busy);
}

bool RawStreamsMerger::clearSum(int number) {
    return frame_->runPass("ResetAverager", clearingPipeline, {sumOf(number)});
}

void RawStreamsMerger::resetAccumulation(int number) {
    auto busy = claim(number);
    if (busy && !clearSum(number)) {
        busy->keepBusyForGood();
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

std::optional<FileData> RawStreamsMerger::plainFileData(const platform::CapturedPhoto& photo) {
    auto data = photo.fileDataRepresentation();
    if (!data) {
        return std::nullopt;
    }
    return std::move(*data);
}

} // namespace qv

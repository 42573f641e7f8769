#include "engine/RawStarTrailMerger.hpp"

#include "engine/MergerSupport.hpp"
#include "platform/console/Console.hpp"
#include "platform/formatting/SaturatingCast.hpp"
#include "platform/imaging/RawDevelopment.hpp"

#include <cmath>

namespace qv {

using platform::print;
using platform::compute::Texture;

namespace {

enum Pipeline : std::size_t {
    accumulatorPipeline,
    clearingPipeline,
    copyPipeline,
    averagerPipeline,
    trailerPipeline,
    maximumPipeline
};
enum WorkTexture : std::size_t {
    accumulationTexture,
    maxFramesTexture,
    filterTextureA,
    filterTextureB
};

// The boosted average: distances above the pivot are multiplied by the factor.
constexpr float boostFactor = 2.0f;
constexpr std::uint32_t boostPivot = 2112;
constexpr std::array<std::uint32_t, 3> telephotoCompensation{5, 0, 0};
constexpr std::array<std::uint32_t, 3> noCompensation{0, 0, 0};

// Develops the file at half size (enough for an average colour, and quick so
// the capture loop is not held up) and prints the average colour as 16 and 8
// bits per channel. False when the file cannot be developed.
bool developsWithAverage(const FileData& data, platform::MonotonicTime start) {
    platform::imaging::DevelopOptions options;
    options.colorSpace = platform::ColorSpace::linearSRGB;
    options.halfSize = true;
    const auto image = platform::imaging::developRaw(data, options);
    if (!image || image->empty()) {
        return false;
    }
    std::array<double, 4> sums{};
    for (std::size_t y = 0; y < image->height(); ++y) {
        const auto row = image->row16(y);
        for (std::size_t i = 0; i < row.size(); ++i) {
            sums[i % 4] += row[i];
        }
    }
    const double pixels = double(image->width() * image->height());
    std::array<std::uint16_t, 4> average16{};
    std::array<std::uint8_t, 4> average8{};
    for (std::size_t c = 0; c < 4; ++c) {
        const double mean = sums[c] / pixels;
        average16[c] = platform::saturatingRound<std::uint16_t>(mean);
        average8[c] = platform::saturatingRound<std::uint8_t>(mean / 257.0);
    }
    print("Average Color 16 bit:", average16[0], average16[1], average16[2], average16[3]);
    print("Average Color  8 bit:", average8[0], average8[1], average8[2], average8[3]);
    print("Duration:", merger::secondsSince(start));
    return true;
}

} // namespace

std::unique_ptr<GpuMergeFrame> MetalTrailRAWPhotoMergerV2::makeFrame(const PhotoPtr& photo) {
    GpuMergeFrame::Setup setup;
    setup.kernels = {"frameCopy",   "frameAccumulatorWithFilter", "resetAccumulator",
                     "starTrailer", "frameAverageBooster",        "getMaxFrame"};
    setup.pipelines = {"frameAccumulatorWithFilter", "resetAccumulator", "frameCopy",
                       "frameAverageBooster",        "starTrailer",      "getMaxFrame"};
    setup.formats = mergeformats::bayer;
    setup.workTextures = 4;
    setup.textureCaches = 2;
    setup.printBufferAfterLookups = true;
    return photo ? GpuMergeFrame::make(photo->pixelBuffer(), setup) : nullptr;
}

template <class Merger>
std::unique_ptr<Merger> MetalTrailRAWPhotoMergerV2::make(const PhotoPtr& photo,
                                                         std::uint32_t framesToAverage,
                                                         bool countFirstPhoto, bool useCompensation,
                                                         Customizer& customizer) {
    auto frame = makeFrame(photo);
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<Merger> merger(new Merger(std::move(frame), customizer));
    merger->avPhoto_ = photo;
    merger->addPhoto(photo);
    if (!countFirstPhoto) {
        merger->resetAccumulation();
        merger->resetMaxFrames();
        merger->filterFrames_ = 0;
        merger->totalFrames1_ = 0;
        merger->subTotalFrames_ = 0;
        merger->numberOfMaxedFrames_ = 0;
    }
    merger->numberOfFramesToAverage_ = framesToAverage / 2;
    merger->useCompensation_ = useCompensation;
    print("Frames to average: " + platform::describe(framesToAverage));
    print("Use compensation: " + platform::describe(useCompensation));
    return merger;
}

std::unique_ptr<MetalTrailRAWPhotoMergerV2>
MetalTrailRAWPhotoMergerV2::make(const PhotoPtr& photo, std::uint32_t framesToAverage,
                                 bool countFirstPhoto, bool useCompensation,
                                 Customizer& customizer) {
    return make<MetalTrailRAWPhotoMergerV2>(photo, framesToAverage, countFirstPhoto,
                                            useCompensation, customizer);
}

std::unique_ptr<MetalTrailRAWPhotoMerger>
MetalTrailRAWPhotoMerger::make(const PhotoPtr& photo, std::uint32_t framesToAverage,
                               Customizer& customizer) {
    return MetalTrailRAWPhotoMergerV2::make<MetalTrailRAWPhotoMerger>(photo, framesToAverage, true,
                                                                      false, customizer);
}

void MetalTrailRAWPhotoMergerV2::addPhoto(const PhotoPtr& photo) {
    auto admitted = frame_->admit(photo ? photo->pixelBuffer() : nullptr);
    if (!admitted) {
        return;
    }
    if (filterFrames_ != 2) {
        copyToFilterTexture(admitted->frame);
        return;
    }
    // The two filter textures take turns; the kernel replaces the older one
    // with the new frame.
    const bool olderIsA = totalFrames1_ % 2 == 0;
    print(totalFrames1_.load(), olderIsA ? "Old filter A" : "Old filter B");
    const Texture& newer = frame_->workTexture(olderIsA ? filterTextureB : filterTextureA);
    const Texture& older = frame_->workTexture(olderIsA ? filterTextureA : filterTextureB);
    if (!frame_->runPass(
            "Accumulation", accumulatorPipeline,
            {admitted->frame, newer, older, frame_->workTexture(accumulationTexture)})) {
        admitted->claim.keepBusyForGood();
        return;
    }
    countFrame(photo);
    ++subTotalFrames_;
    if (subTotalFrames_ < numberOfFramesToAverage_) {
        return;
    }
    // The group's average goes into this photo's own pixels, then into the trail.
    if (!frame_->runPass("Averager", averagerPipeline,
                         {admitted->frame, frame_->workTexture(accumulationTexture)},
                         {GpuMergeFrame::bytes(subTotalFrames_), GpuMergeFrame::bytes(boostFactor),
                          GpuMergeFrame::bytes(boostPivot)})) {
        admitted->claim.keepBusyForGood();
        return;
    }
    clearAccumulation();
    addToMaxFrames(admitted->frame);
}

bool MetalTrailRAWPhotoMergerV2::copyToFilterTexture(const Texture& frame) {
    const Texture& filter =
        frame_->workTexture(filterFrames_ == 0 ? filterTextureA : filterTextureB);
    if (!frame_->runPass("FrameCopy", copyPipeline, {frame, filter})) {
        return false;
    }
    ++filterFrames_;
    print("Filter frame", filterFrames_, "added");
    return true;
}

bool MetalTrailRAWPhotoMergerV2::addToMaxFrames(const Texture& groupAverage) {
    const auto& compensation = useCompensation_ ? telephotoCompensation : noCompensation;
    if (!frame_->runPass("Maxer", trailerPipeline,
                         {groupAverage, frame_->workTexture(maxFramesTexture)},
                         {GpuMergeFrame::bytes(compensation)})) {
        return false;
    }
    ++numberOfMaxedFrames_;
    return true;
}

bool MetalTrailRAWPhotoMergerV2::clearAccumulation() {
    if (!frame_->runPass("ResetAverager", clearingPipeline,
                         {frame_->workTexture(accumulationTexture)})) {
        return false;
    }
    subTotalFrames_ = 0;
    print("reset accu");
    return true;
}

void MetalTrailRAWPhotoMergerV2::resetAccumulation() {
    if (merger::clearOnItsOwn(*frame_, clearingPipeline,
                              frame_->workTexture(accumulationTexture))) {
        subTotalFrames_ = 0;
        print("reset accu");
    }
}

void MetalTrailRAWPhotoMergerV2::resetMaxFrames() {
    if (merger::clearOnItsOwn(*frame_, clearingPipeline, frame_->workTexture(maxFramesTexture))) {
        print("reset max");
    }
}

std::optional<FileData> MetalTrailRAWPhotoMergerV2::trailResultData() {
    return merger::result(*frame_, avPhoto_, *customizer_, [&](const Texture& output) {
        if (numberOfMaxedFrames_ == 0) {
            const std::uint32_t count = totalFrames1_;
            return frame_->runPass("Averager", averagerPipeline,
                                   {output, frame_->workTexture(accumulationTexture)},
                                   {GpuMergeFrame::bytes(count), GpuMergeFrame::bytes(boostFactor),
                                    GpuMergeFrame::bytes(boostPivot)});
        }
        return merger::copyMaxFrames(*frame_, maximumPipeline, maxFramesTexture, output);
    });
}

std::optional<FileData> MetalTrailRAWPhotoMergerV2::resultData(int, double) {
    auto data = trailResultData();
    if (!data) {
        return std::nullopt;
    }
    if (!developsWithAverage(*data, platform::monotonicNow())) {
        return std::nullopt;
    }
    return data;
}

} // namespace qv

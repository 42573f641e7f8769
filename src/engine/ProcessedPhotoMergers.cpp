#include "engine/ProcessedPhotoMergers.hpp"

#include "engine/MergerSupport.hpp"
#include "platform/console/Console.hpp"

#include <array>

namespace qv {

using platform::describe;
using platform::print;
using platform::compute::Texture;

namespace {

constexpr std::size_t accumulationTexture = 0;
constexpr std::size_t maxFramesTexture = 1;

} // namespace

// ---- MetalRGBA32PhotoMerger ----

namespace {
enum Rgba32Pipeline : std::size_t { rgba32Accumulator, rgba32Averager };
} // namespace

std::unique_ptr<MetalRGBA32PhotoMerger> MetalRGBA32PhotoMerger::make(const PhotoPtr& photo,
                                                                     Customizer& customizer) {
    GpuMergeFrame::Setup setup;
    setup.kernels = {"frameAccumulator", "frameAveragerRGB"};
    setup.pipelines = {"frameAccumulator", "frameAveragerRGB"};
    setup.formats = mergeformats::processed;
    auto frame = GpuMergeFrame::make(photo->pixelBuffer(), setup);
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<MetalRGBA32PhotoMerger> merger(
        new MetalRGBA32PhotoMerger(std::move(frame), customizer));
    merger->avPhoto_ = photo;
    print(photo->pixelBuffer()->description());
    print("Metal RGBA32");
    merger->addPhoto(photo);
    return merger;
}

MetalRGBA32PhotoMerger::MetalRGBA32PhotoMerger(std::unique_ptr<GpuMergeFrame> frame,
                                               Customizer& customizer)
    : GpuPhotoMerger(std::move(frame), customizer) {}

void MetalRGBA32PhotoMerger::addPhoto(const PhotoPtr& photo) {
    const auto start = platform::monotonicNow();
    auto admitted = merger::addition(*frame_, photo, [&](const Texture& texture) {
        print("Texture created in " + describe(merger::secondsSince(start)));
        return frame_->runPass("Accumulation", rgba32Accumulator,
                               {texture, frame_->workTexture(accumulationTexture)});
    });
    if (!admitted) {
        return;
    }
    countFrame(photo);
    admitted.reset();
    merger::printAdditionTime(start);
}

std::optional<FileData> MetalRGBA32PhotoMerger::resultData(int, double) {
    return merger::averageResult(*frame_, avPhoto_, *customizer_, rgba32Averager,
                                 accumulationTexture, totalFrames1_);
}

// ---- MetalTrailRGBA32PhotoMerger ----

namespace {
enum TrailPipeline : std::size_t {
    trailAccumulator,
    trailReset,
    trailAverager,
    trailTrailer,
    trailMaxFrames
};
} // namespace

std::unique_ptr<MetalTrailRGBA32PhotoMerger>
MetalTrailRGBA32PhotoMerger::make(const PhotoPtr& photo, Customizer& customizer) {
    GpuMergeFrame::Setup setup;
    setup.kernels = {"frameAccumulator", "resetAccumulator", "starTrailer", "frameAverager",
                     "getMaxFrame"};
    setup.pipelines = {"frameAccumulator", "resetAccumulator", "frameAverager", "starTrailer",
                       "getMaxFrame"};
    setup.formats = mergeformats::processed;
    setup.workTextures = 2;
    setup.textureCaches = 2;
    auto frame = GpuMergeFrame::make(photo->pixelBuffer(), setup);
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<MetalTrailRGBA32PhotoMerger> merger(
        new MetalTrailRGBA32PhotoMerger(std::move(frame), customizer));
    merger->avPhoto_ = photo;
    merger->addPhoto(photo);
    return merger;
}

std::unique_ptr<MetalTrailRGBA32PhotoMerger>
MetalTrailRGBA32PhotoMerger::make(const PhotoPtr& photo, std::uint32_t framesToAverage,
                                  Customizer& customizer) {
    auto merger = make(photo, customizer);
    if (merger) {
        merger->numberOfFramesToAverage_ = framesToAverage;
        print("Frames to average: " + describe(framesToAverage));
    }
    return merger;
}

MetalTrailRGBA32PhotoMerger::MetalTrailRGBA32PhotoMerger(std::unique_ptr<GpuMergeFrame> frame,
                                                         Customizer& customizer)
    : GpuPhotoMerger(std::move(frame), customizer) {}

void MetalTrailRGBA32PhotoMerger::addPhoto(const PhotoPtr& photo) {
    auto admitted = merger::addition(*frame_, photo, [&](const Texture& texture) {
        return frame_->runPass("Accumulation", trailAccumulator,
                               {texture, frame_->workTexture(accumulationTexture)});
    });
    if (!admitted) {
        return;
    }
    countFrame(photo);
    ++subTotalFrames_;
    if (subTotalFrames_ >= numberOfFramesToAverage_) {
        // The group's mean goes into the photo's own pixels, then into the maximum.
        const auto groupAverage = frame_->makeTexture(photo->pixelBuffer());
        if (!groupAverage) {
            admitted->claim.keepBusyForGood();
            return;
        }
        if (!merger::average(*frame_, trailAverager, *groupAverage, accumulationTexture,
                             subTotalFrames_)) {
            admitted->claim.keepBusyForGood();
            return;
        }
        resetAccumulation();
        addToMaxFrames(*groupAverage);
    }
}

void MetalTrailRGBA32PhotoMerger::resetAccumulation() {
    if (frame_->runPass("ResetAverager", trailReset, {frame_->workTexture(accumulationTexture)})) {
        subTotalFrames_ = 0;
    }
}

void MetalTrailRGBA32PhotoMerger::addToMaxFrames(const Texture& groupAverage) {
    const std::array<std::uint32_t, 3> noCompensation{0, 0, 0};
    if (frame_->runPass("Maxer", trailTrailer,
                        {groupAverage, frame_->workTexture(maxFramesTexture)},
                        {std::as_bytes(std::span(noCompensation))})) {
        hasFoldedGroup_ = true;
    }
}

std::optional<FileData> MetalTrailRGBA32PhotoMerger::resultData(int, double) {
    return merger::result(*frame_, avPhoto_, *customizer_, [&](const Texture& output) {
        if (hasFoldedGroup_) {
            return merger::copyMaxFrames(*frame_, trailMaxFrames, maxFramesTexture, output);
        }
        return merger::average(*frame_, trailAverager, output, accumulationTexture,
                               totalFrames1_.load());
    });
}

// ---- MetalLightTrailRGBA32PhotoMerger ----

namespace {
enum LightTrailPipeline : std::size_t { lightAccumulator, lightAverager, lightMaxFrames };
} // namespace

std::unique_ptr<MetalLightTrailRGBA32PhotoMerger>
MetalLightTrailRGBA32PhotoMerger::make(const PhotoPtr& photo, Customizer& customizer) {
    GpuMergeFrame::Setup setup;
    setup.kernels = {"lightTrailerRGB", "frameAveragerRGB", "getMaxFrameRGB"};
    setup.pipelines = setup.kernels;
    setup.formats = mergeformats::processed;
    setup.workTextures = 2;
    setup.textureCaches = 2;
    auto frame = GpuMergeFrame::make(photo->pixelBuffer(), setup);
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<MetalLightTrailRGBA32PhotoMerger> merger(
        new MetalLightTrailRGBA32PhotoMerger(std::move(frame), customizer));
    merger->addPhoto(photo);
    return merger;
}

MetalLightTrailRGBA32PhotoMerger::MetalLightTrailRGBA32PhotoMerger(
    std::unique_ptr<GpuMergeFrame> frame, Customizer& customizer)
    : GpuPhotoMerger(std::move(frame), customizer) {}

void MetalLightTrailRGBA32PhotoMerger::addPhoto(const PhotoPtr& photo) {
    // Held to the end, so the count and the kept photo change while busy.
    const auto admitted = merger::addition(*frame_, photo, [&](const Texture& texture) {
        return frame_->runPass("Accumulation", lightAccumulator,
                               {texture, frame_->workTexture(accumulationTexture),
                                frame_->workTexture(maxFramesTexture)});
    });
    if (!admitted) {
        return;
    }
    countFrame(photo);
}

std::optional<FileData> MetalLightTrailRGBA32PhotoMerger::resultData(int index, double) {
    if (index != 1) {
        return maxFramesResultData();
    }
    return merger::averageResult(*frame_, avPhoto_, *customizer_, lightAverager,
                                 accumulationTexture, totalFrames1_);
}

std::optional<FileData> MetalLightTrailRGBA32PhotoMerger::maxFramesResultData() {
    return merger::maxFramesResult(*frame_, avPhoto_, *customizer_, lightMaxFrames,
                                   maxFramesTexture);
}

} // namespace qv

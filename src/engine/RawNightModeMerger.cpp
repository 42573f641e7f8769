#include "engine/RawNightModeMerger.hpp"

#include "engine/BayerCell.hpp"
#include "engine/MergerSupport.hpp"
#include "model/DngLevels.hpp"
#include "platform/console/Console.hpp"

#include <cmath>

namespace qv {

using platform::print;
using platform::compute::Texture;

namespace {

enum Pipeline : std::size_t { accumulatorPipeline, resultPipeline, clearingPipeline };
constexpr std::size_t accumulationTexture = 0;
// Carried to the accumulation kernel with every frame.
constexpr std::array<std::uint32_t, 3> accumulationConstant{1, 0, 0};

// The entries a list has; colours beyond its end keep `limits` as they are.
void take(std::array<std::uint32_t, 3>& limits, const std::vector<std::uint32_t>& points) {
    for (std::size_t i = 0; i < limits.size() && i < points.size(); ++i) {
        limits[i] = points[i];
    }
}

} // namespace

NightLimits nightClippingLimits(BetaNightMergeMode mode,
                                const platform::MetadataDictionary& photo) {
    NightLimits limits;
    switch (mode) {
    case BetaNightMergeMode::blackClippingUnique:
    case BetaNightMergeMode::blackAndWhiteClippingUnique:
        limits.lower.fill(dngBlackLevel(photo));
        break;
    case BetaNightMergeMode::blackClippingRGB:
    case BetaNightMergeMode::blackAndWhiteClippingRBG:
        take(limits.lower, blackClippingPoints(photo));
        break;
    case BetaNightMergeMode::noClipping:
    case BetaNightMergeMode::whiteClipping:
        break;
    }
    switch (mode) {
    case BetaNightMergeMode::whiteClipping:
    case BetaNightMergeMode::blackAndWhiteClippingUnique:
    case BetaNightMergeMode::blackAndWhiteClippingRBG:
        take(limits.upper, whiteClippingPoints(photo));
        break;
    case BetaNightMergeMode::noClipping:
    case BetaNightMergeMode::blackClippingUnique:
    case BetaNightMergeMode::blackClippingRGB:
        break;
    }
    return limits;
}

float nightGain(double exposureCompensation) {
    if (!std::isfinite(exposureCompensation)) {
        return 1.0f;
    }
    // 2^16 bounds the exponent before it is raised, so no overflow can occur.
    const double ev = std::clamp(exposureCompensation, -16.0, 16.0);
    return static_cast<float>(std::exp2(ev));
}

std::unique_ptr<MetalRAWNightModePhotoMerger>
MetalRAWNightModePhotoMerger::make(const PhotoPtr& photo, bool countFirstPhoto,
                                   Customizer& customizer, MergeModeSource mergeMode) {
    GpuMergeFrame::Setup setup;
    setup.kernels = {"v2FrameAccumulator", "resetAccumulator", "v2NightModeResult"};
    setup.pipelines = {"v2FrameAccumulator", "v2NightModeResult", "resetAccumulator"};
    setup.formats = mergeformats::bayer;
    setup.printBufferAfterLookups = true;
    auto frame = photo ? GpuMergeFrame::make(photo->pixelBuffer(), setup) : nullptr;
    if (!frame) {
        return nullptr;
    }
    std::unique_ptr<MetalRAWNightModePhotoMerger> merger(
        new MetalRAWNightModePhotoMerger(std::move(frame), customizer, std::move(mergeMode)));
    merger->cell_ = bayerCell(merger->frame_->pixelFormat());
    merger->avPhoto_ = photo;
    merger->addPhoto(photo);
    if (!countFirstPhoto) {
        merger->resetAccumulation();
    }
    return merger;
}

NightLimits MetalRAWNightModePhotoMerger::limitsFromKeptPhoto() const {
    return nightClippingLimits(mergeMode_(), avPhoto_->metadata());
}

void MetalRAWNightModePhotoMerger::addPhoto(const PhotoPtr& photo) {
    const auto start = platform::monotonicNow();
    auto admitted = merger::addition(*frame_, photo, [&](const Texture& texture) {
        const std::uint32_t frameNumber = totalFrames1_;
        const std::uint32_t black = dngBlackLevel(photo->metadata());
        const std::uint32_t white = dngWhiteLevel(photo->metadata());
        const NightLimits limits = limitsFromKeptPhoto();
        print("\n\n-----Night Mode add photo\n\n");
        print("Black Level:", black, "\n");
        print("White Level:", white, "\n");
        print("Frame Number:", frameNumber, "\n");
        print("Clipping Points:\n", limits.upper[0], "\n", limits.upper[1], "\n", limits.upper[2],
              "\n", limits.lower[0], "\n", limits.lower[1], "\n", limits.lower[2], "\n");
        return frame_->runPass(
            "Accumulation", accumulatorPipeline,
            {texture, frame_->workTexture(accumulationTexture)},
            {GpuMergeFrame::bytes(frameNumber), GpuMergeFrame::bytes(black),
             GpuMergeFrame::bytes(limits.lower), GpuMergeFrame::bytes(limits.upper),
             GpuMergeFrame::bytes(accumulationConstant), GpuMergeFrame::bytes(cell_)});
    });
    if (!admitted) {
        return;
    }
    countFrame(photo);
    admitted.reset();
    merger::printAdditionTime(start);
    print("\n\n-----End Night Mode add photo\n\n");
}

void MetalRAWNightModePhotoMerger::resetAccumulation() {
    if (merger::clearOnItsOwn(*frame_, clearingPipeline,
                              frame_->workTexture(accumulationTexture))) {
        totalFrames1_ = 0;
    }
}

std::optional<FileData> MetalRAWNightModePhotoMerger::resultData(int, double exposureCompensation) {
    return merger::result(*frame_, avPhoto_, *customizer_, [&](const Texture& output) {
        const std::uint32_t count = totalFrames1_;
        const std::uint32_t black = dngBlackLevel(avPhoto_->metadata());
        const NightLimits limits = limitsFromKeptPhoto();
        print("Lower limits: ", limits.lower);
        print("Upper limits: ", limits.upper);
        const float gain = nightGain(exposureCompensation);
        return frame_->runPass(
            "v2NightModeResult", resultPipeline, {output, frame_->workTexture(accumulationTexture)},
            {GpuMergeFrame::bytes(count), GpuMergeFrame::bytes(black),
             GpuMergeFrame::bytes(limits.lower), GpuMergeFrame::bytes(limits.upper),
             GpuMergeFrame::bytes(gain), GpuMergeFrame::bytes(cell_)});
    });
}

} // namespace qv

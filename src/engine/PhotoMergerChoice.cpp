#include "engine/PhotoMergerChoice.hpp"

#include "engine/MetaDataCustomizer.hpp"
#include "engine/ProcessedPhotoMergers.hpp"
#include "engine/RawAveragingMergers.hpp"
#include "engine/RawLightTrailMerger.hpp"
#include "engine/RawNightModeMerger.hpp"
#include "engine/RawStarTrailMerger.hpp"
#include "engine/RawStreamsMerger.hpp"
#include "model/NightModeConfig.hpp"
#include "model/PixelFormatNames.hpp"
#include "platform/console/Console.hpp"

namespace qv {

namespace {

PhotoMergerChoice made(std::shared_ptr<PhotoMerger> merger) {
    return PhotoMergerChoice{false, std::move(merger)};
}

PhotoMergerChoice chooseRaw(const std::shared_ptr<platform::CapturedPhoto>& photo,
                            const PhotoMergerRequest& request, Customizer& customizer) {
    const auto& buffer = photo->pixelBuffer();
    if (buffer && pixelFormatName(*buffer) == "kCVPixelFormatType_64RGBALE") {
        return made(MetalProRawPhotoMerger::make(photo, request.countFirstPhoto, customizer));
    }
    if (photo->sequenceCount() != 0) {
        return made(MetalDualRAWPhotoMerger::make(photo, request.countFirstPhoto));
    }
    switch (request.sequenceMode) {
    case SequenceMode::frameAveraging:
        return made(MetalRAWPhotoMerger::make(photo, request.countFirstPhoto, customizer));
    case SequenceMode::starTrails: {
        // The star-trail RAW merger takes only a counted first photo.
        if (!request.countFirstPhoto) {
            return PhotoMergerChoice{true, nullptr};
        }
        const bool telephoto =
            photo->sourceDeviceType() == platform::CaptureDeviceType::builtInTelephotoCamera;
        return made(MetalTrailRAWPhotoMergerV2::make(photo, request.trailNumberOfFramesToAverage,
                                                     true, telephoto, customizer));
    }
    case SequenceMode::lightTrails:
        return made(
            MetalLightTrailRAWPhotoMerger::make(photo, request.countFirstPhoto, customizer));
    case SequenceMode::nightMode:
        return made(
            MetalRAWNightModePhotoMerger::make(photo, request.countFirstPhoto, customizer, [] {
                return NightModeConfig::shared().betaNightMergeMode();
            }));
    }
    return made(nullptr);
}

PhotoMergerChoice chooseProcessed(const std::shared_ptr<platform::CapturedPhoto>& photo,
                                  const PhotoMergerRequest& request, Customizer& customizer) {
    PhotoMergerChoice choice{true, nullptr};
    switch (request.sequenceMode) {
    case SequenceMode::starTrails:
        choice = made(MetalTrailRGBA32PhotoMerger::make(photo, request.trailNumberOfFramesToAverage,
                                                        customizer));
        break;
    case SequenceMode::lightTrails:
        choice = made(MetalLightTrailRGBA32PhotoMerger::make(photo, customizer));
        break;
    case SequenceMode::frameAveraging:
        choice = made(MetalRGBA32PhotoMerger::make(photo, customizer));
        break;
    case SequenceMode::nightMode:
        break;
    }
    platform::print("using RGBA");
    return choice;
}

} // namespace

PhotoMergerChoice choosePhotoMerger(const std::shared_ptr<platform::CapturedPhoto>& photo,
                                    const PhotoMergerRequest& request) {
    Customizer& customizer = MetaDataCustomizer::shared();
    PhotoMergerChoice choice = photo->isRawPhoto() ? chooseRaw(photo, request, customizer)
                                                   : chooseProcessed(photo, request, customizer);
    platform::print("\n\ninit Photo Merger\n");
    return choice;
}

} // namespace qv

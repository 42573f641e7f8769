#include "camera/PhotoRequest.hpp"

#include "camera/CameraManager.hpp"
#include "platform/audio/SystemSound.hpp"
#include "platform/console/Console.hpp"
#include "platform/media/MetadataKeys.hpp"

namespace qv {

namespace key = platform::metadata;
using platform::CapturePhotoSettings;

namespace {

bool offersPlainRAW(const platform::CapturePhotoOutput& output) {
    return !output.availableRawPhotoPixelFormatTypes().empty() && !output.isProRAWEnabled();
}

CapturePhotoSettings requestKind(const platform::CapturePhotoOutput& output, const RunRecord& run) {
    const auto formats = output.availableRawPhotoPixelFormatTypes();
    if (offersPlainRAW(output)) {
        if (run.shootsBracket && run.defaultExposure && run.alternativeExposure) {
            return CapturePhotoSettings::bracket(
                formats.front(), std::nullopt,
                {{run.defaultExposure->shutterSpeed, run.defaultExposure->iso},
                 {run.alternativeExposure->shutterSpeed, run.alternativeExposure->iso}});
        }
        return CapturePhotoSettings::withRawPixelFormat(formats.front());
    }
    if (output.isProRAWEnabled()) {
        for (const platform::FourCharCode format : formats) {
            if (platform::CapturePhotoOutput::isProRAWPixelFormat(format)) {
                return CapturePhotoSettings::withRawPixelFormat(format);
            }
        }
    }
    return CapturePhotoSettings::withFormat(platform::pixelformat::bgra32);
}

} // namespace

bool shootsBracket(const platform::CapturePhotoOutput& output, const RunRecord& run) {
    const bool plansRAWBracket = run.bracketEV != 0 && run.format == SupportedImageFormat::RAW;
    return plansRAWBracket && run.defaultExposure && run.alternativeExposure &&
           offersPlainRAW(output);
}

CapturePhotoSettings runPhotoSettings(const platform::CapturePhotoOutput& output,
                                      const RunRecord& run,
                                      const platform::MetadataDictionary& tiff) {
    CapturePhotoSettings settings = requestKind(output, run);
    platform::MetadataDictionary metadata = settings.metadata();
    metadata.set(key::tiffGroup, tiff);
    if (run.location) {
        metadata.set(key::gpsGroup, *run.location);
    }
    settings.setMetadata(std::move(metadata));
    settings.setPhotoQualityPrioritization(platform::PhotoQualityPrioritization::speed);
    return settings;
}

void RunPhotoDelegate::willCapturePhoto(const platform::ResolvedPhotoSettings&) {
    platform::disposeSystemSound(platform::kShutterSound);
    exposureStarted_ = true;
    const auto at = platform::monotonicNow();
    if (const auto camera = camera_.lock()) {
        camera->onSession([generation = generation_, at](CameraManager& self) {
            self.captureLoop_.willCapture(generation, at);
        });
    }
}

void RunPhotoDelegate::didFinishProcessingPhoto(
    const std::shared_ptr<platform::CapturedPhoto>& photo,
    const std::optional<platform::CaptureError>& error) {
    if (const auto camera = camera_.lock()) {
        camera->onSession(
            [generation = generation_, photo, failed = error.has_value()](CameraManager& self) {
                if (failed) {
                    self.captureLoop_.photoFailed(generation);
                } else {
                    self.captureLoop_.handleCapturedPhoto(generation, photo);
                }
            });
    }
}

void RunPhotoDelegate::didFinishCapture(const platform::ResolvedPhotoSettings& settings,
                                        const std::optional<platform::CaptureError>& error) {
    if (error) {
        platform::print("ERROR", settings.uniqueID, error->localizedDescription);
    }
    // A request that failed before its exposure began is timed from now, so the next one
    // waits its exposure and gap rather than following at once.
    const auto failedBeforeCapture =
        !exposureStarted_ ? std::optional(platform::monotonicNow()) : std::nullopt;
    if (const auto camera = camera_.lock()) {
        camera->onSession([generation = generation_, failed = error.has_value(),
                           failedBeforeCapture](CameraManager& self) {
            self.captureLoop_.processCapturedPhotos(generation, failed, failedBeforeCapture);
        });
    }
}

} // namespace qv

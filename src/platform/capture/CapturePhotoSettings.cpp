#include "platform/capture/CapturePhotoSettings.hpp"

#include <atomic>

namespace qv::platform {

namespace {
std::atomic<std::int64_t> nextUniqueID{1};
} // namespace

CapturePhotoSettings::CapturePhotoSettings() : id(nextUniqueID++) {}

CapturePhotoSettings CapturePhotoSettings::withRawPixelFormat(FourCharCode rawFormat) {
    CapturePhotoSettings s;
    s.raw = rawFormat;
    return s;
}

CapturePhotoSettings CapturePhotoSettings::withFormat(FourCharCode processedFormat) {
    CapturePhotoSettings s;
    s.processed = processedFormat;
    return s;
}

CapturePhotoSettings CapturePhotoSettings::bracket(
    FourCharCode rawFormat, std::optional<FourCharCode> processedFormat,
    std::vector<ManualExposureBracketedStillImageSettings> bracketedSettings) {
    CapturePhotoSettings s;
    s.raw = rawFormat;
    s.processed = processedFormat;
    s.brackets = std::move(bracketedSettings);
    return s;
}

int CapturePhotoSettings::expectedPhotoCount() const {
    return brackets.empty() ? 1 : int(brackets.size());
}

} // namespace qv::platform

#pragma once

#include "platform/capture/CaptureTypes.hpp"
#include "platform/media/MediaTime.hpp"
#include "platform/media/Metadata.hpp"
#include "platform/media/PixelFormat.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace qv::platform {

// One photo of a manual bracket: its exposure duration and ISO.
struct ManualExposureBracketedStillImageSettings {
    MediaTime exposureDuration;
    float iso = 100;
};

// What one photo request asks for: a RAW photo (a Bayer format or ProRAW 'l64r'), a
// processed 'BGRA' photo, or a bracket of RAW photos with manual exposures; the metadata the
// photos carry over the camera's own; the quality prioritisation. Each settings value gets
// its own uniqueID when made (a copy keeps it; make new settings for every request).
class CapturePhotoSettings {
public:
    // One RAW photo in the given format (one of the output's RAW formats).
    static CapturePhotoSettings withRawPixelFormat(FourCharCode rawFormat);
    // One processed photo in the given format (the output offers 'BGRA').
    static CapturePhotoSettings withFormat(FourCharCode processedFormat);
    // One RAW photo per entry, in order, each with its exposure; `processedFormat` must be
    // nullopt (processed brackets are not offered).
    static CapturePhotoSettings
    bracket(FourCharCode rawFormat, std::optional<FourCharCode> processedFormat,
            std::vector<ManualExposureBracketedStillImageSettings> bracketedSettings);

    std::int64_t uniqueID() const { return id; }
    std::optional<FourCharCode> rawPhotoPixelFormatType() const { return raw; }
    std::optional<FourCharCode> processedFormat() const { return processed; }
    const std::vector<ManualExposureBracketedStillImageSettings>& bracketedSettings() const {
        return brackets;
    }
    // 1, or the number of bracketed photos.
    int expectedPhotoCount() const;

    // Entries photos carry over the camera's own: a group here ({TIFF}, {GPS}, ...) is merged
    // key by key over the camera's group of that name; other keys replace the camera's.
    const MetadataDictionary& metadata() const { return meta; }
    void setMetadata(MetadataDictionary metadata) { meta = std::move(metadata); }

    PhotoQualityPrioritization photoQualityPrioritization() const { return prioritization; }
    void setPhotoQualityPrioritization(PhotoQualityPrioritization p) { prioritization = p; }

private:
    CapturePhotoSettings();

    std::int64_t id;
    std::optional<FourCharCode> raw;
    std::optional<FourCharCode> processed;
    std::vector<ManualExposureBracketedStillImageSettings> brackets;
    MetadataDictionary meta;
    PhotoQualityPrioritization prioritization = PhotoQualityPrioritization::balanced;
};

} // namespace qv::platform

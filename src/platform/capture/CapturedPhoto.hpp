#pragma once

#include "platform/capture/CapturedPhotoDeviceType.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/MediaTime.hpp"
#include "platform/media/Metadata.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <cstdint>
#include <memory>
#include <optional>

namespace qv::platform {

class CapturedPhoto;

// What the camera made of a photo request once it was resolved.
struct ResolvedPhotoSettings {
    std::int64_t uniqueID = 0;
    int expectedPhotoCount = 1; // 2 for a two-exposure bracket
    friend bool operator==(const ResolvedPhotoSettings&, const ResolvedPhotoSettings&) = default;
};

// Chooses the metadata of one encoding of a photo's file data.
class PhotoFileDataCustomizer {
public:
    virtual ~PhotoFileDataCustomizer() = default;
    // The metadata to encode instead of photo.metadata(); called once per
    // encoding on the encoding thread.
    virtual MetadataDictionary replacementMetadata(const CapturedPhoto& photo) = 0;
};

// A photo the camera delivered. Photos are shared (mergers keep the latest
// one, the capture loop keeps a batch), so they live in a shared_ptr. All
// properties are fixed at delivery; only the pixels of the buffer change, when
// a merger writes its result into them.
class CapturedPhoto {
public:
    struct Properties {
        std::shared_ptr<PixelBuffer> pixelBuffer; // may be null
        bool isRawPhoto = false;
        int sequenceCount = 0; // 0 for a plain request; 1 and 2 within a bracket
        int photoCount = 1;    // the photo's number within its capture, from 1
        ResolvedPhotoSettings resolvedSettings;
        MediaTime timestamp;
        std::optional<CaptureDeviceType> sourceDeviceType;
        MetadataDictionary metadata;
    };

    static std::shared_ptr<CapturedPhoto> make(Properties properties);

    const std::shared_ptr<PixelBuffer>& pixelBuffer() const { return props.pixelBuffer; }
    bool isRawPhoto() const { return props.isRawPhoto; }
    int sequenceCount() const { return props.sequenceCount; }
    int photoCount() const { return props.photoCount; }
    const ResolvedPhotoSettings& resolvedSettings() const { return props.resolvedSettings; }
    MediaTime timestamp() const { return props.timestamp; }
    std::optional<CaptureDeviceType> sourceDeviceType() const { return props.sourceDeviceType; }
    const MetadataDictionary& metadata() const { return props.metadata; }

    // The photo as a file, encoding the pixel buffer as it is at the moment of
    // the call: DNG for Bayer and 64-bit RGBA buffers, TIFF for processed
    // BGRA ones, with the photo's metadata, or with what the customizer returns
    // for this one encoding. Fails without a pixel buffer or on an encoder
    // error. The caller must not write the pixels during the call.
    imaging::Result<imaging::FileData> fileDataRepresentation() const;
    imaging::Result<imaging::FileData>
    fileDataRepresentation(PhotoFileDataCustomizer& customizer) const;

private:
    explicit CapturedPhoto(Properties properties) : props(std::move(properties)) {}
    imaging::Result<imaging::FileData> encode(const MetadataDictionary& metadata) const;

    Properties props;
};

} // namespace qv::platform

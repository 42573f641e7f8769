#include "platform/capture/CapturedPhoto.hpp"

#include "platform/imaging/Dng.hpp"
#include "platform/imaging/Tiff.hpp"

namespace qv::platform {

std::shared_ptr<CapturedPhoto> CapturedPhoto::make(Properties properties) {
    return std::shared_ptr<CapturedPhoto>(new CapturedPhoto(std::move(properties)));
}

imaging::Result<imaging::FileData> CapturedPhoto::fileDataRepresentation() const {
    return encode(props.metadata);
}

imaging::Result<imaging::FileData>
CapturedPhoto::fileDataRepresentation(PhotoFileDataCustomizer& customizer) const {
    return encode(customizer.replacementMetadata(*this));
}

imaging::Result<imaging::FileData> CapturedPhoto::encode(const MetadataDictionary& metadata) const {
    using Failure = imaging::Result<imaging::FileData>;
    PixelBuffer* buffer = props.pixelBuffer.get();
    if (buffer == nullptr) {
        return Failure::failure("photo: no pixel buffer to encode");
    }
    const FourCharCode format = buffer->pixelFormat();
    const bool raw = bayerPattern(format) || format == pixelformat::rgba64LE;
    if (!raw && format != pixelformat::bgra32) {
        return Failure::failure("photo: no file format for pixel format '" +
                                fourCharCodeText(format) + "'");
    }
    buffer->lock(true);
    auto data =
        raw ? imaging::encodeDng(*buffer, metadata) : imaging::encodeTiff(*buffer, metadata);
    buffer->unlock(true);
    return data;
}

} // namespace qv::platform

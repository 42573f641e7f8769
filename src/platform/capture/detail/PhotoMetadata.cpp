#include "platform/capture/detail/PhotoMetadata.hpp"

#include "platform/formatting/DateFormatter.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <utility>

namespace qv::platform::detail {

namespace key = metadata;

int orientationTag(CaptureVideoOrientation orientation) {
    switch (orientation) {
    case CaptureVideoOrientation::portrait:
        return 6;
    case CaptureVideoOrientation::portraitUpsideDown:
        return 8;
    case CaptureVideoOrientation::landscapeRight:
        return 1;
    case CaptureVideoOrientation::landscapeLeft:
        return 3;
    }
    return 6;
}

MetadataDictionary photoMetadata(const CaptureDeviceState& camera, const FrameExposure& exposure,
                                 bool bayer, CaptureVideoOrientation orientation,
                                 const MetadataDictionary& request) {
    static const DateFormatter exifDate("yyyy:MM:dd HH:mm:ss");
    MetadataDictionary m;
    m.set(key::orientation, orientationTag(orientation));
    auto& exif = m.dictionary(key::exifGroup);
    exif.set(key::exifExposureTime, exposure.durationSeconds);
    exif.set(key::exifISOSpeedRatings, MetadataList{MetadataValue(int(exposure.iso + 0.5f))});
    exif.set(key::exifFNumber, double(camera.lensAperture));
    exif.set(key::exifFocalLength, double(camera.focalLength));
    exif.set(key::exifDateTimeOriginal, exifDate.format(exposure.wallStart));
    exif.set(key::exifLensModel, camera.lensModel);
    auto& tiff = m.dictionary(key::tiffGroup);
    tiff.set(key::tiffMake, camera.make);
    tiff.set(key::tiffModel, camera.model);
    if (bayer) {
        const WhiteBalanceGains& g = exposure.whiteBalanceGains;
        auto& dng = m.dictionary(key::dngGroup);
        dng.set(key::dngBlackLevel, camera.blackLevel);
        dng.set(key::dngWhiteLevel, camera.whiteLevel);
        dng.set(key::dngAsShotNeutral,
                MetadataList{1.0 / double(g.redGain), 1.0 / double(g.greenGain),
                             1.0 / double(g.blueGain)});
    }
    for (const auto& [name, value] : request) {
        const MetadataDictionary* group = value.dictionary();
        if (group != nullptr && std::as_const(m).dictionary(name) != nullptr) {
            MetadataDictionary& own = m.dictionary(name);
            for (const auto& [entry, entryValue] : *group) {
                own.set(entry, entryValue);
            }
        } else {
            m.set(name, value);
        }
    }
    return m;
}

} // namespace qv::platform::detail

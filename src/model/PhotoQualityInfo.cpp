#include "model/PhotoQualityInfo.hpp"

#include "platform/console/Console.hpp"

namespace qv {

void printPhotoQualityInfo(const platform::CaptureDevice& device) {
    using platform::print;
    print("isLockingFocusWithCustomLensPositionSupported = ",
          device.isLockingFocusWithCustomLensPositionSupported(), platform::Separator{""});
    const platform::CaptureDeviceFormat active = device.activeFormat();
    print("activeFormat.isHighestPhotoQualitySupported = ", active.isHighestPhotoQualitySupported,
          platform::Separator{""});
    for (const platform::CaptureDeviceFormat& format : device.formats()) {
        if (format.isHighPhotoQualitySupported) {
            print(format.formatDescription);
        }
    }
    print("Active format");
    print(active.formatDescription);
}

} // namespace qv

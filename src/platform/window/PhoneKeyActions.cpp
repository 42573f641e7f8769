#include "platform/window/PhoneKeyActions.hpp"

#include "platform/sensors/Device.hpp"
#include "platform/system/OutputVolume.hpp"

namespace qv::platform::window {

void applyPhoneKey(PhoneKey key) {
    Device& device = Device::current();
    OutputVolume& volume = OutputVolume::shared();
    switch (key) {
    case PhoneKey::volumeUp:
        volume.setLevel(volume.level() + kVolumeStep);
        break;
    case PhoneKey::volumeDown:
        volume.setLevel(volume.level() - kVolumeStep);
        break;
    case PhoneKey::orientationPortrait:
        device.setOrientation(DeviceOrientation::portrait);
        break;
    case PhoneKey::orientationPortraitUpsideDown:
        device.setOrientation(DeviceOrientation::portraitUpsideDown);
        break;
    case PhoneKey::orientationLandscapeLeft:
        device.setOrientation(DeviceOrientation::landscapeLeft);
        break;
    case PhoneKey::orientationLandscapeRight:
        device.setOrientation(DeviceOrientation::landscapeRight);
        break;
    case PhoneKey::orientationFaceUp:
        device.setOrientation(DeviceOrientation::faceUp);
        break;
    case PhoneKey::orientationFaceDown:
        device.setOrientation(DeviceOrientation::faceDown);
        break;
    case PhoneKey::tiltLeft:
        device.tilt(kTiltStepDegrees, 0);
        break;
    case PhoneKey::tiltRight:
        device.tilt(-kTiltStepDegrees, 0);
        break;
    case PhoneKey::tiltForward:
        device.tilt(0, kTiltStepDegrees);
        break;
    case PhoneKey::tiltBack:
        device.tilt(0, -kTiltStepDegrees);
        break;
    case PhoneKey::tiltLevel:
        device.level();
        break;
    }
}

} // namespace qv::platform::window

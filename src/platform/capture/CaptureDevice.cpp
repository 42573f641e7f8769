#include "platform/capture/CaptureDevice.hpp"

namespace qv::platform {

ConfigurationLock::ConfigurationLock(CaptureDevice& d)
    : device(d), result(d.lockForConfiguration()) {}

ConfigurationLock::~ConfigurationLock() {
    if (result.locked) {
        device.unlockForConfiguration();
    }
}

} // namespace qv::platform

#pragma once

#include "platform/capture/CaptureTypes.hpp"

#include <atomic>

namespace qv::platform {

// The link from a session's camera to one of its outputs. Its orientation says which way
// up that output's pictures are (photos carry it as their Orientation tag). Safe from any
// thread.
class CaptureConnection {
public:
    bool isVideoOrientationSupported() const { return true; }
    CaptureVideoOrientation videoOrientation() const { return orientation_.load(); }
    void setVideoOrientation(CaptureVideoOrientation orientation) { orientation_ = orientation; }

private:
    std::atomic<CaptureVideoOrientation> orientation_{CaptureVideoOrientation::portrait};
};

} // namespace qv::platform

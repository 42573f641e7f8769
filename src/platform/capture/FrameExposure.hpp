#pragma once

#include "platform/capture/CaptureTypes.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/media/MediaTime.hpp"

namespace qv::platform {

// Why a frame is rendered: a recorded-frame folder hands each photo its own frame and shows
// the last one in the live frames between.
enum class FramePurpose { live, photo };

// How one frame of a camera was exposed: the settings in force when it started and when
// that was. Live frames, photos and the automatic exposure's metering frames are all
// rendered from one of these.
struct FrameExposure {
    double durationSeconds = 1.0 / 60;
    float iso = 100;
    float lensPosition = 1;
    WhiteBalanceGains whiteBalanceGains;
    MonotonicTime start{};
    WallTime wallStart{};
};

// A point on the monotonic clock as a media time in nanoseconds: photo and frame timestamps,
// completion times.
inline MediaTime monotonicMediaTime(MonotonicTime time) {
    return {std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count(),
            1000000000};
}

} // namespace qv::platform

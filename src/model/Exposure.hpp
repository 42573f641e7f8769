#pragma once

#include "platform/media/MediaTime.hpp"

#include <string>

namespace qv {

// One camera exposure as the capture device expresses it.
struct Exposure {
    float iso = 100;
    platform::MediaTime shutterSpeed;
    float exposureBias = 0; // EV

    // "ISO: 100\nSpeed: ¹/125 s\nBias -0.5": the ISO truncated, the abbreviated
    // shutter speed and the bias as a float's text.
    std::string description() const;
};

} // namespace qv

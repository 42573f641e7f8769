#pragma once

#include "platform/media/MediaTime.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <memory>

namespace qv::platform {

// One live frame as the video-data output hands it on.
struct SampleBuffer {
    // The picture: landscape 'BGRA'. Null for a sample without an image. Read it only; the
    // output reuses its memory once every holder has let go.
    std::shared_ptr<PixelBuffer> imageBuffer;
    MediaTime presentationTimeStamp; // the frame's exposure start, monotonic
};

} // namespace qv::platform

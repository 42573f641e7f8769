#pragma once

#include "platform/capture/CaptureDevice.hpp"

namespace qv {

// Prints a camera's photo-quality capabilities to the console, one line each:
// whether focus can be locked at a custom lens position, whether the active
// format supports the highest photo quality, the description of every format
// with high photo quality, "Active format" and the active format's description.
void printPhotoQualityInfo(const platform::CaptureDevice& device);

} // namespace qv

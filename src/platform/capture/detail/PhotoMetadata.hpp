#pragma once

#include "platform/capture/CaptureDeviceState.hpp"
#include "platform/capture/FrameExposure.hpp"
#include "platform/media/Metadata.hpp"

namespace qv::platform::detail {

// The metadata a camera attaches to a photo (see CapturePhotoOutput.hpp): the exposure, the
// lens and the camera; for Bayer photos the DNG levels and neutral; the orientation; and the
// request's metadata over it (groups merged key by key, other keys replaced).
MetadataDictionary photoMetadata(const CaptureDeviceState& camera, const FrameExposure& exposure,
                                 bool bayer, CaptureVideoOrientation orientation,
                                 const MetadataDictionary& request);

// The Orientation tag that shows a photo of this connection orientation upright.
int orientationTag(CaptureVideoOrientation orientation);

} // namespace qv::platform::detail

#pragma once

#include "engine/PhotoMerger.hpp"

#include <memory>

namespace qv {

// The choice of merger for the first photo of a run, by the kind of photo and
// the sequence mode; results are encoded through the shared
// MetaDataCustomizer. In this order:
//  - a RAW photo with a 64-bit RGBA buffer: MetalProRawPhotoMerger, any mode;
//  - another RAW photo of a bracket (sequenceCount not 0):
//    MetalDualRAWPhotoMerger;
//  - another RAW photo by mode: frameAveraging MetalRAWPhotoMerger, lightTrails
//    MetalLightTrailRAWPhotoMerger, nightMode MetalRAWNightModePhotoMerger (the
//    merge mode read from NightModeConfig at every frame and result),
//    starTrails MetalTrailRAWPhotoMergerV2 with the request's group size and
//    compensation for a telephoto photo, made only when the photo is counted
//    (with countFirstPhoto false the current merger stays);
//  - a processed photo by mode: starTrails MetalTrailRGBA32PhotoMerger with the
//    request's group size, lightTrails MetalLightTrailRGBA32PhotoMerger,
//    frameAveraging MetalRGBA32PhotoMerger; nightMode makes none and the
//    current merger stays ("using RGBA" is printed for every processed photo).
// "\n\ninit Photo Merger\n" is printed last. A merger that cannot be made
// leaves a null merger, so the next photo tries again.
PhotoMergerChoice choosePhotoMerger(const std::shared_ptr<platform::CapturedPhoto>& photo,
                                    const PhotoMergerRequest& request);

} // namespace qv

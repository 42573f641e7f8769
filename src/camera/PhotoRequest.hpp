#pragma once

#include "camera/RunRecord.hpp"
#include "platform/capture/CapturePhotoOutput.hpp"
#include "platform/capture/CapturePhotoSettings.hpp"
#include "platform/capture/PhotoCaptureDelegate.hpp"

#include <cstdint>
#include <memory>

namespace qv {

class CameraManager;

// Whether a run's requests are brackets: the run plans a RAW bracket, both its exposures are
// known, and the output offers RAW formats with ProRAW off. Decided once, when the run
// begins; the finish saves two streams exactly when it is true.
bool shootsBracket(const platform::CapturePhotoOutput& output, const RunRecord& run);

// The settings of one request of a run. The kind, in this order:
//  - the output offers RAW formats and ProRAW is off: a bracket of two RAW photos (the run's
//    two exposures, in that order, in the first RAW format) when the run shoots brackets,
//    else one RAW photo in the first RAW format;
//  - ProRAW is on: one photo in the first ProRAW format among the RAW formats;
//  - otherwise (no RAW, or ProRAW on without a ProRAW format): one processed 'BGRA' photo.
// The photos carry `tiff` as their {TIFF} group (Software, ImageDescription), the run's
// {GPS} group when it saves the location, and ask for speed over quality.
platform::CapturePhotoSettings runPhotoSettings(const platform::CapturePhotoOutput& output,
                                                const RunRecord& run,
                                                const platform::MetadataDictionary& tiff);

// Hears one request of a run on the photo output's queue and hands everything on to
// "PhotoSession", tagged with the run's generation: the moment the exposure starts, each
// photo (or its failure), and the end of the request. It touches no state of the run; the
// controller is held weakly.
class RunPhotoDelegate final : public platform::PhotoCaptureDelegate {
public:
    RunPhotoDelegate(std::weak_ptr<CameraManager> camera, std::uint64_t generation)
        : camera_(std::move(camera)), generation_(generation) {}

    void willCapturePhoto(const platform::ResolvedPhotoSettings& settings) override;
    void didFinishProcessingPhoto(const std::shared_ptr<platform::CapturedPhoto>& photo,
                                  const std::optional<platform::CaptureError>& error) override;
    void didFinishCapture(const platform::ResolvedPhotoSettings& settings,
                          const std::optional<platform::CaptureError>& error) override;

private:
    std::weak_ptr<CameraManager> camera_;
    std::uint64_t generation_;
    bool exposureStarted_ = false; // on the output's queue only
};

} // namespace qv

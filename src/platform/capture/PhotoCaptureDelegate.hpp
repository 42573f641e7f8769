#pragma once

#include "platform/capture/CaptureError.hpp"
#include "platform/capture/CapturedPhoto.hpp"

#include <memory>
#include <optional>

namespace qv::platform {

// Hears how one photo request goes. The photo output calls these on its own serial queue,
// for one request in this order: willBeginCapture, willCapturePhoto (its exposure starts),
// didFinishProcessingPhoto for each photo (after its exposure and processing), and
// didFinishCapture, which every request gets exactly once, also one that failed before it
// began (then it is the only call, with the error).
class PhotoCaptureDelegate {
public:
    virtual ~PhotoCaptureDelegate() = default;

    virtual void willBeginCapture(const ResolvedPhotoSettings& /*settings*/) {}
    virtual void willCapturePhoto(const ResolvedPhotoSettings& /*settings*/) {}
    // A photo with an error has no pixel buffer.
    virtual void didFinishProcessingPhoto(const std::shared_ptr<CapturedPhoto>& /*photo*/,
                                          const std::optional<CaptureError>& /*error*/) {}
    virtual void didFinishCapture(const ResolvedPhotoSettings& /*settings*/,
                                  const std::optional<CaptureError>& /*error*/) {}
};

} // namespace qv::platform

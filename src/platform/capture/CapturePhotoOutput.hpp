#pragma once

#include "platform/capture/CaptureOutput.hpp"
#include "platform/capture/CapturePhotoSettings.hpp"
#include "platform/capture/FrameExposure.hpp"
#include "platform/capture/PhotoCaptureDelegate.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace qv::platform {

// Takes photos with the session's camera.
//
// Formats: RAW photos in the camera's Bayer format ['qRGG'], and with ProRAW enabled
// ['l64r', 'qRGG'] (a camera without RAW offers none); processed photos in 'BGRA'.
//
// Requests run one after another, in the order asked. For each, on the output's own serial
// queue, the delegate hears (PhotoCaptureDelegate.hpp): will begin; will capture when the
// first exposure starts; each photo once its exposure (the bracket's, else the camera's
// current one) and processing are done; did finish. A request fails (did finish with an
// error, nothing else) when the session does not run or is interrupted, has no camera, or
// asks what the output cannot do (a format it does not offer, more quality than
// maxPhotoQualityPrioritization, a processed bracket). A request open when the session
// stops or is interrupted ends with that error after the photo in hand.
//
// Photos: timestamps are their exposure start on the monotonic clock, never 0 and strictly
// increasing. Metadata: {Exif} ExposureTime, ISOSpeedRatings, FNumber, FocalLength,
// DateTimeOriginal, LensModel; {TIFF} Make, Model; for Bayer photos {DNG} BlackLevel,
// WhiteLevel, AsShotNeutral (the reciprocal white-balance gains); Orientation from the
// connection (portrait 6, upside down 8, landscape right 1, landscape left 3); the request's
// metadata over these.
//
// The delegate is held until its request is finished. Safe from any thread. Made with
// std::make_shared.
class CapturePhotoOutput final : public CaptureOutput,
                                 public std::enable_shared_from_this<CapturePhotoOutput> {
public:
    // How long processing a photo takes after its exposure ends.
    static constexpr Seconds processingTime{0.05};

    CapturePhotoOutput();
    ~CapturePhotoOutput() override;

    std::vector<FourCharCode> availableRawPhotoPixelFormatTypes() const;
    std::vector<FourCharCode> availablePhotoPixelFormatTypes() const;
    static bool isProRAWPixelFormat(FourCharCode format);
    bool isProRAWSupported() const;
    bool isProRAWEnabled() const;
    // Only where supported; otherwise ignored with a console line.
    void setProRAWEnabled(bool enabled);

    PhotoQualityPrioritization maxPhotoQualityPrioritization() const;
    void setMaxPhotoQualityPrioritization(PhotoQualityPrioritization prioritization);

    void capturePhoto(const CapturePhotoSettings& settings,
                      std::shared_ptr<PhotoCaptureDelegate> delegate);

    // Test seams, each while set (nullopt clears it):
    // every request ends with this error after delivering its photos;
    void setRequestFailure(std::optional<std::string> description);
    // every photo is delivered with this error and without pixels.
    void setPhotoFailure(std::optional<std::string> description);
    // The next photo repeats the previous photo's timestamp.
    void repeatNextTimestamp();

private:
    struct Request;
    void startNextRequest();
    void beginRequest(const std::shared_ptr<Request>& request);
    void exposePhoto(const std::shared_ptr<Request>& request);
    void deliverPhoto(const std::shared_ptr<Request>& request, FrameExposure exposure);
    void finishRequest(const std::shared_ptr<Request>& request, std::optional<CaptureError> error);
    std::optional<CaptureError> sessionProblem(const Request& request) const;
    MediaTime nextTimestamp(MonotonicTime exposureStart);

    mutable std::mutex mutex_; // guards the fields below
    std::deque<std::shared_ptr<Request>> waiting_;
    bool busy_ = false;
    bool proRAWEnabled_ = false;
    PhotoQualityPrioritization maxPrioritization_ = PhotoQualityPrioritization::balanced;
    std::optional<std::string> requestFailure_;
    std::optional<std::string> photoFailure_;
    bool repeatTimestamp_ = false;
    MediaTime lastTimestamp_ = MediaTime::zero(1000000000);

    // Declared last so it goes first: once it is gone no request work runs.
    std::unique_ptr<DispatchQueue> queue_;
};

} // namespace qv::platform

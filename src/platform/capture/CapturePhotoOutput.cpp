#include "platform/capture/CapturePhotoOutput.hpp"

#include "platform/capture/CaptureSession.hpp"
#include "platform/capture/detail/CaptureDeviceFrames.hpp"
#include "platform/capture/detail/PhotoMetadata.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>
#include <cmath>

namespace qv::platform {

struct CapturePhotoOutput::Request {
    Request(CapturePhotoSettings s, std::shared_ptr<PhotoCaptureDelegate> d)
        : settings(std::move(s)),
          delegate(std::move(d)), resolved{settings.uniqueID(), settings.expectedPhotoCount()} {}

    CapturePhotoSettings settings;
    std::shared_ptr<PhotoCaptureDelegate> delegate;
    ResolvedPhotoSettings resolved;
    std::shared_ptr<CaptureSession> session;
    std::shared_ptr<CaptureDevice> device;
    std::uint64_t generation = 0;
    int nextPhoto = 0;
};

namespace {

using Code = CaptureError::Code;

CaptureError error(Code code, std::string description) {
    return {code, std::move(description)};
}

// The exposure of a bracketed photo, kept within what the camera's format allows.
FrameExposure bracketExposure(FrameExposure exposure, const CaptureDeviceFormat& format,
                              const ManualExposureBracketedStillImageSettings& bracket) {
    double seconds = bracket.exposureDuration.seconds();
    if (!std::isfinite(seconds) || seconds <= 0) {
        seconds = exposure.durationSeconds;
    }
    exposure.durationSeconds = std::clamp(seconds, format.minExposureDuration.seconds(),
                                          format.maxExposureDuration.seconds());
    if (std::isfinite(bracket.iso)) {
        exposure.iso = std::clamp(bracket.iso, format.minISO, format.maxISO);
    }
    return exposure;
}

} // namespace

CapturePhotoOutput::CapturePhotoOutput()
    : queue_(std::make_unique<DispatchQueue>("photo output", QoS::userInitiated)) {}

CapturePhotoOutput::~CapturePhotoOutput() {
    queue_.reset();
}

std::vector<FourCharCode> CapturePhotoOutput::availableRawPhotoPixelFormatTypes() const {
    const auto core = session();
    const auto device = core ? core->device() : nullptr;
    if (!device) {
        return {};
    }
    const CaptureDeviceState s = device->state();
    std::vector<FourCharCode> formats;
    if (s.proRAWSupported && isProRAWEnabled() && !s.rawPhotoPixelFormats.empty()) {
        formats.push_back(pixelformat::rgba64LE);
    }
    formats.insert(formats.end(), s.rawPhotoPixelFormats.begin(), s.rawPhotoPixelFormats.end());
    return formats;
}

std::vector<FourCharCode> CapturePhotoOutput::availablePhotoPixelFormatTypes() const {
    return {pixelformat::bgra32};
}

bool CapturePhotoOutput::isProRAWPixelFormat(FourCharCode format) {
    return format == pixelformat::rgba64LE;
}

bool CapturePhotoOutput::isProRAWSupported() const {
    const auto core = session();
    const auto device = core ? core->device() : nullptr;
    return device && device->state().proRAWSupported;
}

bool CapturePhotoOutput::isProRAWEnabled() const {
    std::lock_guard guard(mutex_);
    return proRAWEnabled_;
}

void CapturePhotoOutput::setProRAWEnabled(bool enabled) {
    if (enabled && !isProRAWSupported()) {
        print("CapturePhotoOutput: ProRAW is not supported by this camera; not enabled");
        return;
    }
    std::lock_guard guard(mutex_);
    proRAWEnabled_ = enabled;
}

PhotoQualityPrioritization CapturePhotoOutput::maxPhotoQualityPrioritization() const {
    std::lock_guard guard(mutex_);
    return maxPrioritization_;
}

void CapturePhotoOutput::setMaxPhotoQualityPrioritization(PhotoQualityPrioritization p) {
    std::lock_guard guard(mutex_);
    maxPrioritization_ = p;
}

void CapturePhotoOutput::setRequestFailure(std::optional<std::string> description) {
    std::lock_guard guard(mutex_);
    requestFailure_ = std::move(description);
}

void CapturePhotoOutput::setPhotoFailure(std::optional<std::string> description) {
    std::lock_guard guard(mutex_);
    photoFailure_ = std::move(description);
}

void CapturePhotoOutput::repeatNextTimestamp() {
    std::lock_guard guard(mutex_);
    repeatTimestamp_ = true;
}

void CapturePhotoOutput::capturePhoto(const CapturePhotoSettings& settings,
                                      std::shared_ptr<PhotoCaptureDelegate> delegate) {
    if (!delegate) {
        print("CapturePhotoOutput: a photo request without a delegate is ignored");
        return;
    }
    auto request = std::make_shared<Request>(settings, std::move(delegate));
    {
        std::lock_guard guard(mutex_);
        waiting_.push_back(std::move(request));
        if (busy_) {
            return;
        }
        busy_ = true;
    }
    queue_->async([weak = weak_from_this()] {
        if (const auto output = weak.lock()) {
            output->startNextRequest();
        }
    });
}

void CapturePhotoOutput::startNextRequest() {
    std::shared_ptr<Request> request;
    {
        std::lock_guard guard(mutex_);
        if (waiting_.empty()) {
            busy_ = false;
            return;
        }
        request = std::move(waiting_.front());
        waiting_.pop_front();
    }
    beginRequest(request);
}

std::optional<CaptureError> CapturePhotoOutput::sessionProblem(const Request& request) const {
    if (request.session->isInterrupted()) {
        return error(Code::sessionInterrupted, "session interrupted");
    }
    if (!request.session->isRunning() || request.session->generation() != request.generation) {
        return error(Code::sessionStopped, "session stopped");
    }
    return std::nullopt;
}

void CapturePhotoOutput::beginRequest(const std::shared_ptr<Request>& request) {
    Request& r = *request;
    r.session = session();
    r.device = r.session ? r.session->device() : nullptr;
    const CapturePhotoSettings& s = r.settings;
    const auto rawFormats = availableRawPhotoPixelFormatTypes();
    std::optional<CaptureError> problem;
    if (!r.session) {
        problem = error(Code::notConnected, "the photo output is in no session");
    } else if (!r.device) {
        problem = error(Code::notConnected, "the session has no camera");
    } else if (r.session->isInterrupted()) {
        problem = error(Code::sessionInterrupted, "session interrupted");
    } else if (!r.session->isRunning()) {
        problem = error(Code::sessionNotRunning, "session not running");
    } else if (s.rawPhotoPixelFormatType() &&
               std::find(rawFormats.begin(), rawFormats.end(), *s.rawPhotoPixelFormatType()) ==
                   rawFormats.end()) {
        problem = error(Code::unsupportedSettings,
                        "RAW format '" + fourCharCodeText(*s.rawPhotoPixelFormatType()) +
                            "' is not offered");
    } else if (s.processedFormat() &&
               (*s.processedFormat() != pixelformat::bgra32 || !s.bracketedSettings().empty())) {
        problem =
            error(Code::unsupportedSettings,
                  "processed format '" + fourCharCodeText(*s.processedFormat()) +
                      "' is not offered" + (s.bracketedSettings().empty() ? "" : " in a bracket"));
    } else if (int(s.photoQualityPrioritization()) > int(maxPhotoQualityPrioritization())) {
        problem = error(Code::unsupportedSettings,
                        "the request asks for more quality than the output allows");
    }
    if (problem) {
        finishRequest(request, problem);
        return;
    }
    r.generation = r.session->generation();
    r.delegate->willBeginCapture(r.resolved);
    exposePhoto(request);
}

void CapturePhotoOutput::exposePhoto(const std::shared_ptr<Request>& request) {
    Request& r = *request;
    if (auto problem = sessionProblem(r)) {
        finishRequest(request, problem);
        return;
    }
    FrameExposure exposure = detail::CaptureDeviceFrames::exposureNow(*r.device);
    const auto& brackets = r.settings.bracketedSettings();
    if (!brackets.empty()) {
        exposure =
            bracketExposure(exposure, r.device->activeFormat(), brackets[std::size_t(r.nextPhoto)]);
    }
    if (r.nextPhoto == 0) {
        r.delegate->willCapturePhoto(r.resolved);
    }
    r.session->photoExposureBegan();
    queue_->asyncAfter(
        Seconds(exposure.durationSeconds), [weak = weak_from_this(), request, exposure] {
            request->session->photoExposureEnded();
            if (const auto output = weak.lock()) {
                output->queue_->asyncAfter(processingTime, [weak, request, exposure] {
                    if (const auto o = weak.lock()) {
                        o->deliverPhoto(request, exposure);
                    }
                });
            }
        });
}

MediaTime CapturePhotoOutput::nextTimestamp(MonotonicTime exposureStart) {
    std::lock_guard guard(mutex_);
    const std::int64_t ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(exposureStart.time_since_epoch())
            .count();
    MediaTime stamp{std::max({ns, lastTimestamp_.value + 1, std::int64_t{1}}), 1000000000};
    if (repeatTimestamp_ && lastTimestamp_.value > 0) {
        stamp = lastTimestamp_;
        repeatTimestamp_ = false;
    }
    lastTimestamp_ = stamp;
    return stamp;
}

void CapturePhotoOutput::deliverPhoto(const std::shared_ptr<Request>& request,
                                      FrameExposure exposure) {
    Request& r = *request;
    if (auto problem = sessionProblem(r)) {
        finishRequest(request, problem);
        return;
    }
    std::optional<std::string> photoFailure;
    {
        std::lock_guard guard(mutex_);
        photoFailure = photoFailure_;
    }
    const CaptureDeviceState camera = r.device->state();
    const bool bracket = !r.settings.bracketedSettings().empty();
    const FourCharCode format = r.settings.rawPhotoPixelFormatType().value_or(pixelformat::bgra32);

    CapturedPhoto::Properties p;
    p.isRawPhoto = r.settings.rawPhotoPixelFormatType().has_value();
    p.sequenceCount = bracket ? r.nextPhoto + 1 : 0;
    p.photoCount = r.nextPhoto + 1;
    p.resolvedSettings = r.resolved;
    p.timestamp = nextTimestamp(exposure.start);
    p.sourceDeviceType = camera.deviceType;
    std::optional<CaptureError> photoError;
    if (photoFailure) {
        photoError = error(Code::captureFailed, *photoFailure);
    } else {
        const PixelDimensions size = camera.activeFormat.photoDimensions;
        p.pixelBuffer = PixelBuffer::make(std::size_t(std::max(size.width, 1)),
                                          std::size_t(std::max(size.height, 1)), format);
        if (p.pixelBuffer) {
            detail::CaptureDeviceFrames::render(*r.device, exposure, FramePurpose::photo,
                                                *p.pixelBuffer);
        } else {
            photoError = error(Code::captureFailed, "no memory for the photo");
        }
    }
    const auto orientation = connection()->videoOrientation();
    p.metadata = detail::photoMetadata(camera, exposure, bayerPattern(format).has_value(),
                                       orientation, r.settings.metadata());
    r.delegate->didFinishProcessingPhoto(CapturedPhoto::make(std::move(p)), photoError);

    if (++r.nextPhoto < r.resolved.expectedPhotoCount) {
        exposePhoto(request);
        return;
    }
    std::optional<std::string> requestFailure;
    {
        std::lock_guard guard(mutex_);
        requestFailure = requestFailure_;
    }
    finishRequest(request, requestFailure
                               ? std::optional(error(Code::captureFailed, *requestFailure))
                               : std::nullopt);
}

void CapturePhotoOutput::finishRequest(const std::shared_ptr<Request>& request,
                                       std::optional<CaptureError> problem) {
    request->delegate->didFinishCapture(request->resolved, problem);
    request->delegate.reset();
    startNextRequest();
}

} // namespace qv::platform

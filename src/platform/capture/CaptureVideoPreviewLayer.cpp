#include "platform/capture/CaptureVideoPreviewLayer.hpp"

#include <algorithm>

namespace qv::platform {

std::shared_ptr<CaptureVideoPreviewLayer>
CaptureVideoPreviewLayer::make(std::shared_ptr<CaptureSession> session) {
    if (!session) {
        return nullptr;
    }
    auto layer = std::shared_ptr<CaptureVideoPreviewLayer>(new CaptureVideoPreviewLayer(session));
    session->addPreviewLayer(layer);
    return layer;
}

CaptureVideoPreviewLayer::CaptureVideoPreviewLayer(std::shared_ptr<CaptureSession> session)
    : session_(std::move(session)) {}

CaptureRect CaptureVideoPreviewLayer::frame() const {
    std::lock_guard guard(mutex_);
    return frame_;
}

void CaptureVideoPreviewLayer::setFrame(CaptureRect frame) {
    std::lock_guard guard(mutex_);
    frame_ = frame;
}

CapturePoint
CaptureVideoPreviewLayer::captureDevicePointOfInterestForPoint(CapturePoint point) const {
    const CaptureRect f = frame();
    if (f.isEmpty()) {
        return {0.5, 0.5};
    }
    const double u = (point.y - f.y) / f.height;
    const double v = 1.0 - (point.x - f.x) / f.width;
    const auto unit = [](double value) {
        return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.5;
    };
    return {unit(u), unit(v)};
}

CapturePoint
CaptureVideoPreviewLayer::pointForCaptureDevicePointOfInterest(CapturePoint pointOfInterest) const {
    const CaptureRect f = frame();
    return {f.x + f.width * (1.0 - pointOfInterest.y), f.y + f.height * pointOfInterest.x};
}

std::shared_ptr<PixelBuffer> CaptureVideoPreviewLayer::latestFrame() const {
    std::lock_guard guard(mutex_);
    return latest_;
}

Subscription CaptureVideoPreviewLayer::onFrameArrived(std::function<void()> callback) {
    return frameArrived_.subscribe([callback = std::move(callback)] { callback(); });
}

void CaptureVideoPreviewLayer::present(std::shared_ptr<PixelBuffer> frame) {
    {
        std::lock_guard guard(mutex_);
        latest_ = std::move(frame);
    }
    frameArrived_.send();
}

} // namespace qv::platform

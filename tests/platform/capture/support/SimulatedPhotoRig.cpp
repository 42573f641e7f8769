#include "SimulatedPhotoRig.hpp"

namespace qv::platform::test {

namespace {

struct Delivery : PhotoCaptureDelegate {
    std::shared_ptr<CapturedPhoto> photo;
    bool finished = false;
    void didFinishProcessingPhoto(const std::shared_ptr<CapturedPhoto>& p,
                                  const std::optional<CaptureError>&) override {
        photo = p;
    }
    void didFinishCapture(const ResolvedPhotoSettings&,
                          const std::optional<CaptureError>&) override {
        finished = true;
    }
};

} // namespace

SimulatedPhotoRig::SimulatedPhotoRig(const SimulatedCameraSpec& spec,
                                     std::shared_ptr<const Scene> scene, WhiteBalanceGains gains,
                                     double seconds, float iso)
    : device(std::make_shared<SimulatedCaptureDevice>(spec, CameraProfile::builtIn(),
                                                      std::move(scene))) {
    session->addInput(CaptureDeviceInput::make(device));
    session->addOutput(output);
    session->startRunning();
    ConfigurationLock lock(*device);
    device->setWhiteBalanceModeLocked(gains);
    device->setExposureModeCustom(MediaTime::fromSeconds(seconds), iso);
}

std::shared_ptr<CapturedPhoto> SimulatedPhotoRig::take(VirtualDispatch& dispatch,
                                                       const CapturePhotoSettings& settings,
                                                       Seconds within) {
    auto delivery = std::make_shared<Delivery>();
    output->capturePhoto(settings, delivery);
    dispatch.runUntil([&] { return delivery->finished; }, within);
    return delivery->photo;
}

} // namespace qv::platform::test

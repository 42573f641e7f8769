#include "SimulatedRun.hpp"

#include "engine/PhotoMergerChoice.hpp"
#include "platform/capture/CapturePhotoOutput.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <cstring>

namespace qv::test {

namespace {

using namespace platform;

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

std::shared_ptr<CapturedPhoto> copyOf(const CapturedPhoto& photo) {
    CapturedPhoto::Properties p;
    const PixelBuffer& from = *photo.pixelBuffer();
    p.pixelBuffer = PixelBuffer::make(from.width(), from.height(), from.pixelFormat());
    std::memcpy(p.pixelBuffer->baseAddress(), from.baseAddress(), from.dataSize());
    p.isRawPhoto = photo.isRawPhoto();
    p.metadata = photo.metadata();
    return CapturedPhoto::make(std::move(p));
}

} // namespace

SimulatedRun runSimulatedCamera(const SimulatedRunOptions& o) {
    VirtualDispatch dispatch;
    SimulatedCameraSpec spec;
    spec.photoSize = o.size;
    spec.maxExposureDuration = 30;
    auto device = std::make_shared<SimulatedCaptureDevice>(
        spec, CameraProfile::builtIn(), std::make_shared<SyntheticNightScene>(o.scene));
    auto session = std::make_shared<CaptureSession>();
    auto output = std::make_shared<CapturePhotoOutput>();
    session->addInput(CaptureDeviceInput::make(device));
    session->addOutput(output);
    session->startRunning();
    {
        ConfigurationLock lock(*device);
        device->setWhiteBalanceModeLocked(device->deviceWhiteBalanceGains({4500, 0}));
        device->setExposureModeCustom(MediaTime::fromSeconds(o.seconds), o.iso);
    }
    SimulatedRun run;
    for (int i = 0; i < o.photos; ++i) {
        auto delivery = std::make_shared<Delivery>();
        output->capturePhoto(o.format == pixelformat::bgra32
                                 ? CapturePhotoSettings::withFormat(o.format)
                                 : CapturePhotoSettings::withRawPixelFormat(o.format),
                             delivery);
        dispatch.runUntil([&] { return delivery->finished; }, Seconds(o.seconds + 10));
        if (!delivery->photo || !delivery->photo->pixelBuffer()) {
            break;
        }
        if (i == 0) {
            run.firstPhoto = copyOf(*delivery->photo);
            run.merger =
                choosePhotoMerger(delivery->photo, {o.mode, o.framesPerGroup, true}).merger;
        } else if (run.merger) {
            run.merger->addPhoto(delivery->photo);
        }
    }
    return run;
}

} // namespace qv::test

#include "SimulatedRun.hpp"

#include "SimulatedPhotoRig.hpp"
#include "engine/PhotoMergerChoice.hpp"
#include "platform/capture/detail/WhiteBalance.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <cstring>

namespace qv::test {

namespace {

using namespace platform;

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
    // Balanced for 4500 K: the town's glow stays warm, the sky's blue stays blue.
    platform::test::SimulatedPhotoRig rig(spec, std::make_shared<SyntheticNightScene>(o.scene),
                                          platform::detail::whiteBalanceGainsFor({4500, 0}),
                                          o.seconds, o.iso);
    SimulatedRun run;
    for (int i = 0; i < o.photos; ++i) {
        const auto photo =
            rig.take(dispatch, o.format == pixelformat::bgra32
                                   ? CapturePhotoSettings::withFormat(o.format)
                                   : CapturePhotoSettings::withRawPixelFormat(o.format));
        if (!photo || !photo->pixelBuffer()) {
            break;
        }
        if (i == 0) {
            run.firstPhoto = copyOf(*photo);
            run.merger = choosePhotoMerger(photo, {o.mode, o.framesPerGroup, true}).merger;
        } else if (run.merger) {
            run.merger->addPhoto(photo);
        }
    }
    return run;
}

} // namespace qv::test

// The camera profile parser on any text: an error that names a fault, or a profile every
// camera of which keeps the ranges a device relies on.

#include "platform/capture/simulated/CameraProfileJson.hpp"
#include "support/FuzzCheck.hpp"

#include <cstdint>
#include <string_view>
#include <variant>

using namespace qv::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed = parseCameraProfile({reinterpret_cast<const char*>(data), size});
    if (const auto* error = std::get_if<CameraProfileError>(&parsed)) {
        QV_FUZZ_CHECK(!error->problem.empty());
        return 0;
    }
    const CameraProfile& profile = std::get<CameraProfile>(parsed);
    QV_FUZZ_CHECK(profile.cameras.size() <= 8);
    for (const SimulatedCameraSpec& c : profile.cameras) {
        for (const PixelDimensions& d : {c.photoSize, c.previewSize, c.videoSize}) {
            QV_FUZZ_CHECK(d.width >= 2 && d.width <= 16384 && d.height >= 2 && d.height <= 16384);
        }
        QV_FUZZ_CHECK(c.minISO > 0 && c.minISO <= c.maxISO);
        QV_FUZZ_CHECK(c.minExposureDuration > 0 && c.minExposureDuration <= c.maxExposureDuration);
        QV_FUZZ_CHECK(c.minExposureBias <= 0 && 0 <= c.maxExposureBias);
        QV_FUZZ_CHECK(c.fieldOfView > 0 && c.fieldOfView < 180 && c.aperture > 0);
        QV_FUZZ_CHECK(c.infinityLensPosition >= 0 && c.infinityLensPosition <= 1);
        QV_FUZZ_CHECK(c.maxWhiteBalanceGain >= 1 && c.blackLevel < c.whiteLevel);
    }
    return 0;
}

#include "model/Exposure.hpp"

#include "model/PhotoFormatting.hpp"
#include "platform/formatting/FloatText.hpp"
#include "platform/formatting/SaturatingCast.hpp"

#include <cstdint>

namespace qv {

std::string Exposure::description() const {
    return "ISO: " + std::to_string(platform::saturatingCast<std::int64_t>(iso)) +
           "\nSpeed: " + QVPhotoMath::formattedShutterSpeed(shutterSpeed, true) + " s\nBias " +
           platform::floatText(exposureBias);
}

} // namespace qv

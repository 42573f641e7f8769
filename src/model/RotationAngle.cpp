#include "model/RotationAngle.hpp"

#include <numbers>

namespace qv {

double rotationAngle(std::int64_t orientationRawValue) {
    switch (orientationRawValue) {
    case 2:
        return std::numbers::pi;
    case 3:
        return std::numbers::pi / 2;
    case 4:
        return -std::numbers::pi / 2;
    default:
        return 0;
    }
}

} // namespace qv

#include "platform/sensors/Location.hpp"

namespace qv::platform {

bool LocationCoordinate::isValid() const {
    return latitude >= -90 && latitude <= 90 && longitude >= -180 && longitude <= 180;
}

} // namespace qv::platform

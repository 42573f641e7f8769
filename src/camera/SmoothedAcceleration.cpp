#include "camera/SmoothedAcceleration.hpp"

#include <limits>

namespace qv {

platform::Acceleration SmoothedAcceleration::add(double x, double y, double z) {
    buffer_.push_back({x, y, z});
    if (buffer_.size() > bufferSize_) {
        buffer_.pop_front();
    }
    return average();
}

platform::Acceleration SmoothedAcceleration::average() const {
    if (buffer_.empty()) {
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan, nan};
    }
    platform::Acceleration sum;
    for (const auto& sample : buffer_) {
        sum.x += sample.x;
        sum.y += sample.y;
        sum.z += sample.z;
    }
    const auto n = double(buffer_.size());
    return {sum.x / n, sum.y / n, sum.z / n};
}

} // namespace qv

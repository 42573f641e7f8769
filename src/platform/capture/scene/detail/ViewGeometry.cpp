#include "platform/capture/scene/detail/ViewGeometry.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qv::platform::detail {

namespace {

constexpr double radians = std::numbers::pi / 180.0;

double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

} // namespace

ViewGeometry::ViewGeometry(double azimuthDegrees, double elevationDegrees,
                           double fieldOfViewDegrees, double width, double height)
    : cx_(width / 2), cy_(height / 2) {
    const double a = azimuthDegrees * radians;
    const double e = elevationDegrees * radians;
    forward_ = {std::sin(a) * std::cos(e), std::cos(a) * std::cos(e), std::sin(e)};
    right_ = {std::cos(a), -std::sin(a), 0};
    up_ = cross(right_, forward_);
    focal_ = (width / 2) / std::tan(fieldOfViewDegrees * radians / 2);
}

Vec3 ViewGeometry::direction(FramePoint p) const {
    const double dx = (p.x - cx_) / focal_;
    const double dy = (p.y - cy_) / focal_;
    Vec3 d{};
    for (std::size_t i = 0; i < 3; ++i) {
        d[i] = forward_[i] - dy * right_[i] - dx * up_[i];
    }
    const double length = std::sqrt(dot(d, d));
    for (double& v : d) {
        v /= length;
    }
    return d;
}

std::optional<FramePoint> ViewGeometry::project(const Vec3& d) const {
    const double z = dot(d, forward_);
    if (z <= 1e-6) {
        return std::nullopt;
    }
    return FramePoint{cx_ - dot(d, up_) / z * focal_, cy_ - dot(d, right_) / z * focal_};
}

double elevationOf(const Vec3& d) {
    return std::asin(std::clamp(d[2], -1.0, 1.0)) / radians;
}

double azimuthOf(const Vec3& d) {
    return std::atan2(d[0], d[1]) / radians;
}

} // namespace qv::platform::detail

#pragma once

#include <array>
#include <optional>

namespace qv::platform::detail {

using Vec3 = std::array<double, 3>;

// A pixel position in a frame, in pixels from its top-left corner.
struct FramePoint {
    double x = 0;
    double y = 0;
};

// How a camera held upright (portrait) sees the world. Directions are unit vectors in
// east, north, up coordinates. The sensor lies landscape in the phone, so the world's up is
// the frame's left (-x) and the world's right is the frame's top (-y); the field of view
// spans the frame's width (its long side).
class ViewGeometry {
public:
    ViewGeometry(double azimuthDegrees, double elevationDegrees, double fieldOfViewDegrees,
                 double width, double height);

    // The direction seen at a frame position.
    Vec3 direction(FramePoint p) const;
    // Where a direction lands in the frame; nothing for directions behind the camera.
    std::optional<FramePoint> project(const Vec3& direction) const;

    double focalLengthPixels() const { return focal_; }
    // The direction at the frame's centre.
    const Vec3& forward() const { return forward_; }

private:
    Vec3 forward_;
    Vec3 right_;
    Vec3 up_;
    double focal_;
    double cx_;
    double cy_;
};

// Elevation and azimuth of a direction, in degrees.
double elevationOf(const Vec3& d);
double azimuthOf(const Vec3& d);

} // namespace qv::platform::detail

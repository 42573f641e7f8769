#include "platform/capture/scene/detail/SensorColor.hpp"

#include "platform/imaging/Dng.hpp"

namespace qv::platform::detail {

namespace {

constexpr Matrix3 srgbToXyz{0.4124, 0.3576, 0.1805, 0.2126, 0.7152, 0.0722, 0.0193, 0.1192, 0.9505};

Matrix3 product(const Matrix3& a, const Matrix3& b) {
    Matrix3 m{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            for (int k = 0; k < 3; ++k) {
                m[r * 3 + c] += a[r * 3 + k] * b[k * 3 + c];
            }
        }
    }
    return m;
}

Matrix3 inverse(const Matrix3& m) {
    const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7],
                 i = m[8];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    return {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
            (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
            (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
}

Matrix3 makeSrgbToCamera() {
    Matrix3 m = product(imaging::simulatedSensorColorMatrix(), srgbToXyz);
    const double green = m[3] + m[4] + m[5]; // the camera's green for sRGB white
    for (double& v : m) {
        v /= green;
    }
    return m;
}

Matrix3 makeBalancedCameraToSrgb() {
    Matrix3 m = srgbToCamera();
    for (int r = 0; r < 3; ++r) {
        const double sum = m[r * 3] + m[r * 3 + 1] + m[r * 3 + 2];
        for (int c = 0; c < 3; ++c) {
            m[r * 3 + c] /= sum;
        }
    }
    return inverse(m);
}

} // namespace

Rgb multiply(const Matrix3& m, const Rgb& v) {
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

const Matrix3& srgbToCamera() {
    static const Matrix3 m = makeSrgbToCamera();
    return m;
}

const Matrix3& balancedCameraToSrgb() {
    static const Matrix3 m = makeBalancedCameraToSrgb();
    return m;
}

} // namespace qv::platform::detail

#include "platform/capture/scene/detail/FrameWriter.hpp"

#include "platform/capture/scene/detail/HotPhotosites.hpp"
#include "platform/capture/scene/detail/NoiseTable.hpp"
#include "platform/capture/scene/detail/SensorColor.hpp"
#include "platform/capture/scene/detail/SensorRow.hpp"
#include "platform/capture/scene/detail/SrgbTable.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qv::platform::detail {

SensorNoise SensorNoise::forExposure(const SceneCamera& camera, const FrameExposure& exposure) {
    SensorNoise n;
    n.gain = std::max(0.01, double(exposure.iso) / 50.0);
    n.readNoise = 3.0 * n.gain + 0.5;
    n.darkSignal = 0.02 * exposure.durationSeconds * n.gain;
    n.hotSignal = 200.0 * exposure.durationSeconds * n.gain;
    const auto start = std::uint64_t(exposure.start.time_since_epoch().count());
    n.frameSeed = std::uint32_t(start ^ (start >> 32));
    n.sensorSeed = camera.sensorSeed;
    return n;
}

FrameWriter::FrameWriter(PixelBuffer& out, const SceneCamera& camera, const FrameExposure& exposure,
                         const SensorNoise& noise)
    : out_(out), noise_(noise) {
    const FourCharCode format = out.pixelFormat();
    if (const auto pattern = bayerPattern(format)) {
        bayer_ = true;
        for (std::size_t i = 0; i < 4; ++i) {
            pattern_[i] = int((*pattern)[i]);
        }
    }
    linear_ = format == pixelformat::rgba64LE;
    black_ = camera.blackLevel;
    white_ = camera.whiteLevel;
    range_ = std::max(1.0, white_ - black_);
    const WhiteBalanceGains& g = exposure.whiteBalanceGains;
    gains_ = {g.redGain, g.greenGain, g.blueGain};
    const Matrix3& m = balancedCameraToSrgb();
    std::transform(m.begin(), m.end(), toSrgb_.begin(), [](double v) { return float(v); });
}

void FrameWriter::sense(std::size_t y, const float* signal, float* dn) const {
    const std::size_t width = out_.width();
    const std::size_t count = width * std::size_t(channelsPerPixel());
    if (!noise_.enabled) {
        const auto range = float(range_);
        for (std::size_t i = 0; i < count; ++i) {
            dn[i] = std::max(0.0f, signal[i]) * range;
        }
        return;
    }
    NoiseRow p;
    p.range = float(range_);
    p.dark = float(noise_.darkSignal);
    p.gain = float(noise_.gain);
    p.readVariance = float(noise_.readNoise * noise_.readNoise);
    p.row = std::uint32_t(y);
    p.seed = noise_.frameSeed;
    addNoise(signal, dn, count, p);
    const int channels = channelsPerPixel();
    forEachHotPhotosite(y, width, noise_.sensorSeed, [&](std::size_t x) {
        for (int c = 0; c < channels; ++c) {
            const std::size_t i = std::size_t(c) * width + x;
            dn[i] = noisyValue(signal[i], std::uint32_t(i), p, float(noise_.hotSignal));
        }
    });
}

void FrameWriter::writeRow(std::size_t y, const float* signal) const {
    const std::size_t width = out_.width();
    thread_local std::vector<float> dn;
    dn.resize(width * std::size_t(channelsPerPixel()));
    sense(y, signal, dn.data());
    if (bayer_) {
        toSamples(dn.data(), out_.row<std::uint16_t>(y), width, float(black_), float(white_));
        return;
    }
    const auto& table = SrgbTable::shared();
    thread_local std::vector<float> srgb;
    srgb.resize(width * 3);
    balanceToSrgb(dn.data(), srgb.data(), width, float(1.0 / range_), gains_, toSrgb_);
    const float* r = srgb.data();
    const float* g = r + width;
    const float* b = g + width;
    if (linear_) {
        auto* px = out_.row<std::uint16_t>(y);
        for (std::size_t x = 0; x < width; ++x, px += 4) {
            px[0] = std::uint16_t(r[x] * 65535.0f + 0.5f);
            px[1] = std::uint16_t(g[x] * 65535.0f + 0.5f);
            px[2] = std::uint16_t(b[x] * 65535.0f + 0.5f);
            px[3] = 65535;
        }
    } else {
        auto* px = out_.row<std::uint8_t>(y);
        for (std::size_t x = 0; x < width; ++x, px += 4) {
            px[0] = table(b[x]);
            px[1] = table(g[x]);
            px[2] = table(r[x]);
            px[3] = 255;
        }
    }
}

void FrameWriter::writeLiveRow(std::size_t y, float* dn) const {
    const std::size_t width = out_.width();
    LiveRowEncoding encoding;
    encoding.scale = float(1.0 / range_);
    encoding.gains = gains_;
    encoding.toSrgb = toSrgb_;
    std::array<const float*, 3> noise{};
    if (noise_.enabled) {
        encoding.gain = float(noise_.gain);
        encoding.readVariance = float(noise_.readNoise * noise_.readNoise);
        const auto hot = float(noise_.hotSignal - noise_.darkSignal);
        forEachHotPhotosite(y, width, noise_.sensorSeed, [&](std::size_t x) {
            for (std::size_t c = 0; c < 3; ++c) {
                dn[c * width + x] += hot;
            }
        });
        const NoiseTable& table = NoiseTable::shared();
        for (std::uint32_t c = 0; c < 3; ++c) {
            noise[c] = table.stretch(noise_.frameSeed, std::uint32_t(y), c, width);
        }
    } else {
        // No noise: withNoise() adds the square root of 0 times these.
        const float* zeros = NoiseTable::shared().stretch(0, 0, 0, width);
        noise = {zeros, zeros, zeros};
    }
    noisyRowToBgra(dn, noise, out_.row<std::uint32_t>(y), width, encoding);
}

} // namespace qv::platform::detail

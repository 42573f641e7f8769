#pragma once

#include "platform/capture/FrameExposure.hpp"
#include "platform/capture/scene/SceneCamera.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <array>
#include <cstdint>

namespace qv::platform::detail {

// The sensor's noise for one exposure, in DN of the 14-bit range.
struct SensorNoise {
    bool enabled = true;
    double gain = 2;              // DN per electron: ISO / 50
    double readNoise = 6;         // DN, standard deviation
    double darkSignal = 0;        // DN each photosite gathers over the exposure
    double hotSignal = 0;         // DN a hot photosite gathers over the exposure
    std::uint32_t frameSeed = 0;  // differs from frame to frame
    std::uint32_t sensorSeed = 0; // fixes which photosites are hot

    // Shot noise by the signal, read noise by ISO (3 electrons), dark current by time
    // (0.02 electrons a second; 200 in the one photosite of 20000 that is hot).
    static SensorNoise forExposure(const SceneCamera& camera, const FrameExposure& exposure);
};

// Writes a frame row by row from the linear signal the sensor gathered, in fractions of the
// range above black (1 clips), per photosite: the channel of its colour for a Bayer mosaic;
// for 'l64r' and 'BGRA' a plane of red, then of green, then of blue. Adds the noise, then encodes:
// Bayer with the black level; 'l64r' and 'BGRA' white-balanced by the exposure's gains and
// converted to linear sRGB ('BGRA' with the sRGB curve). Rows may be written from several threads.
class FrameWriter {
public:
    FrameWriter(PixelBuffer& out, const SceneCamera& camera, const FrameExposure& exposure,
                const SensorNoise& noise);

    bool isBayer() const { return bayer_; }
    int channelsPerPixel() const { return bayer_ ? 1 : 3; }
    // The colour (0 red, 1 green, 2 blue) of a photosite of the mosaic.
    int bayerColor(std::size_t x, std::size_t y) const { return pattern_[(y & 1) * 2 + (x & 1)]; }

    void writeRow(std::size_t y, const float* signal) const;

    // The DN of the whole range above black.
    float rangeDN() const { return float(range_); }
    // The DN of dark signal each photosite gathers over the exposure (0 without noise).
    float darkSignal() const { return noise_.enabled ? float(noise_.darkSignal) : 0.0f; }

    // Writes row y of a live 'BGRA' frame from its values in DN above black, dark signal
    // included (planes of red, green and blue, never negative; `dn` is changed): adds the hot
    // photosites and the shot and read noise, drawn from the noise table (NoiseTable.hpp)
    // rather than afresh for every value, then encodes the row as writeRow() encodes a 'BGRA'
    // one.
    void writeLiveRow(std::size_t y, float* dn) const;

private:
    // The row's values in DN above black, with the sensor's noise and its hot photosites.
    void sense(std::size_t y, const float* signal, float* dn) const;

    PixelBuffer& out_;
    bool bayer_ = false;
    bool linear_ = false; // 'l64r'
    std::array<int, 4> pattern_{0, 1, 1, 2};
    double black_ = 0;
    double range_ = 1;
    double white_ = 1;
    SensorNoise noise_;
    std::array<float, 3> gains_{1, 1, 1};
    std::array<float, 9> toSrgb_{};
};

} // namespace qv::platform::detail

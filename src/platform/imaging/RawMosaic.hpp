#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <array>
#include <memory>

namespace qv::platform::imaging {

// The sensor data of a Bayer RAW file as LibRaw unpacks it (any compression LibRaw reads,
// lossless-JPEG DNGs included), before any development. LibRaw runs in the RAW developer's
// process, as for development (RawDevelopment.hpp), so a file that crashes it cannot end
// the app.
struct RawMosaic {
    // The visible area, one 16-bit sample per photosite, in the Bayer format of its 2x2
    // pattern ('qRGG', 'qGRB', 'qBGG' or 'qGBR'), black level included.
    std::shared_ptr<PixelBuffer> pixelBuffer;
    std::uint32_t blackLevel = 0; // one level for every photosite
    std::uint32_t whiteLevel = 0;
    std::array<double, 3> asShotNeutral{1, 1, 1}; // camera RGB of a grey, green 1
    double exposureTime = 0;                      // seconds; 0 when the file does not say
    double iso = 0;                               // 0 when the file does not say
};

// Unpacks a RAW file's mosaic. Fails for files LibRaw cannot open, for sensors without a
// 2x2 Bayer pattern of red, green and blue (linear or X-Trans files), for a visible area
// beyond the reader limits (ImageLimits.hpp), and when the developer process fails.
Result<RawMosaic> readRawMosaic(FileBytes file);

} // namespace qv::platform::imaging

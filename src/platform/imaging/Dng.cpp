#include "platform/imaging/Dng.hpp"

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/MemoryTiff.hpp"
#include "platform/imaging/TiffFileWriter.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <tiffio.h>
#include <vector>

namespace qv::platform::imaging {

namespace {

namespace key = metadata;

constexpr ttag_t tagCfaRepeatPatternDim = 33421;
constexpr std::uint16_t photometricLinearRaw = 34892;
constexpr std::uint16_t illuminantD65 = 21;

// XYZ (D65) to linear sRGB: the camera space of our LinearRaw files.
constexpr std::array<double, 9> xyzToLinearSRGB{3.2404542,  -1.5371385, -0.4985314,
                                                -0.9692660, 1.8760108,  0.0415560,
                                                0.0556434,  -0.2040259, 1.0572252};

std::string stringOr(const MetadataDictionary* group, const char* name, std::string fallback) {
    const MetadataValue* v = group ? group->find(name) : nullptr;
    const std::string* s = v ? v->string() : nullptr;
    return s && !s->empty() ? *s : fallback;
}

double numberOr(const MetadataDictionary* group, const char* name, double fallback) {
    const MetadataValue* v = group ? group->find(name) : nullptr;
    const auto n = v ? v->number() : std::nullopt;
    return n && std::isfinite(*n) ? *n : fallback;
}

std::vector<double> numbersOr(const MetadataDictionary* group, const char* name, std::size_t count,
                              std::vector<double> fallback) {
    const MetadataValue* v = group ? group->find(name) : nullptr;
    auto list = v ? v->numbers() : std::nullopt;
    if (!list || list->size() != count ||
        !std::all_of(list->begin(), list->end(), [](double d) { return std::isfinite(d); })) {
        return fallback;
    }
    return *list;
}

std::vector<float> floats(const std::vector<double>& values) {
    return std::vector<float>(values.begin(), values.end());
}

std::uint8_t cfaCode(CfaColor c) {
    return static_cast<std::uint8_t>(c);
}

std::optional<FourCharCode> bayerFormatFor(const std::uint8_t* pattern) {
    for (FourCharCode format : {pixelformat::bayer14RGGB, pixelformat::bayer14GRBG,
                                pixelformat::bayer14BGGR, pixelformat::bayer14GBRG}) {
        const auto p = *bayerPattern(format);
        if (std::equal(p.begin(), p.end(), pattern,
                       [](CfaColor c, std::uint8_t b) { return cfaCode(c) == b; })) {
            return format;
        }
    }
    return std::nullopt;
}

} // namespace

const std::array<double, 9>& simulatedSensorColorMatrix() {
    static const std::array<double, 9> matrix{0.7034, -0.1832, -0.0717, -0.4328, 1.2194,
                                              0.2358, -0.0602, 0.1396,  0.6142};
    return matrix;
}

Result<FileData> encodeDng(const PixelBuffer& buffer, const MetadataDictionary& metadata) {
    const auto pattern = bayerPattern(buffer.pixelFormat());
    const bool linear = buffer.pixelFormat() == pixelformat::rgba64LE;
    if (!pattern && !linear) {
        return Result<FileData>::failure("DNG: pixel format '" +
                                         fourCharCodeText(buffer.pixelFormat()) +
                                         "' is neither Bayer nor 64-bit RGBA");
    }
    const MetadataDictionary* dng = metadata.dictionary(key::dngGroup);
    const MetadataDictionary* tiff = metadata.dictionary(key::tiffGroup);
    const std::string make = stringOr(tiff, key::tiffMake, "Quarn Vesil");
    const std::string model = stringOr(tiff, key::tiffModel, "Simulated Camera");
    const std::string uniqueModel = stringOr(dng, key::dngUniqueCameraModel, make + " " + model);
    const auto black = float(std::max(0.0, numberOr(dng, key::dngBlackLevel, 0)));
    const auto white = std::max<std::uint32_t>(
        1,
        saturatingCast<std::uint16_t>(numberOr(dng, key::dngWhiteLevel, linear ? 65535 : 16383)));
    const std::vector<double> neutral = numbersOr(dng, key::dngAsShotNeutral, 3, {1.0, 1.0, 1.0});
    const auto& defaultMatrix = linear ? xyzToLinearSRGB : simulatedSensorColorMatrix();
    const std::vector<double> matrix =
        numbersOr(dng, key::dngColorMatrix1, 9, {defaultMatrix.begin(), defaultMatrix.end()});
    const auto illuminant =
        saturatingCast<std::uint16_t>(numberOr(dng, key::dngCalibrationIlluminant1, illuminantD65));
    if (black >= float(white)) {
        return Result<FileData>::failure("DNG: black level is not below the white level");
    }

    const auto block = exifBlock(metadata);
    if (!block) {
        return Result<FileData>::failure("DNG: " + block.error());
    }
    const auto width = std::uint32_t(buffer.width());
    const auto height = std::uint32_t(buffer.height());
    const std::uint16_t samples = linear ? 3 : 1;
    auto file = detail::TiffFileWriter::start(
        {width, height, 16, samples, linear ? photometricLinearRaw : std::uint16_t(PHOTOMETRIC_CFA),
         pictureOrientation(metadata)},
        block->size());
    if (!file) {
        return Result<FileData>::failure("DNG: libtiff could not start a file");
    }
    TIFF* tif = file->tiff();
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_MAKE, make.c_str());
    TIFFSetField(tif, TIFFTAG_MODEL, model.c_str());
    const std::uint8_t version[4] = {1, 4, 0, 0};
    const std::uint8_t backward[4] = {1, 1, 0, 0};
    TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tif, TIFFTAG_DNGBACKWARDVERSION, backward);
    TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, uniqueModel.c_str());
    if (pattern) {
        const std::uint16_t dim[2] = {2, 2};
        const std::uint8_t cfa[4] = {cfaCode((*pattern)[0]), cfaCode((*pattern)[1]),
                                     cfaCode((*pattern)[2]), cfaCode((*pattern)[3])};
        TIFFSetField(tif, tagCfaRepeatPatternDim, dim);
        TIFFSetField(tif, TIFFTAG_CFAPATTERN, std::uint16_t(4), cfa);
    }
    TIFFSetField(tif, TIFFTAG_BLACKLEVEL, std::uint16_t(1), &black);
    TIFFSetField(tif, TIFFTAG_WHITELEVEL, std::uint16_t(1), &white);
    const std::vector<float> matrixValues = floats(matrix);
    const std::vector<float> neutralValues = floats(neutral);
    TIFFSetField(tif, TIFFTAG_COLORMATRIX1, std::uint16_t(9), matrixValues.data());
    TIFFSetField(tif, TIFFTAG_CALIBRATIONILLUMINANT1, illuminant);
    TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, std::uint16_t(3), neutralValues.data());
    if (!file->addExifBlock(*block)) {
        return Result<FileData>::failure("DNG: " + file->lastError());
    }
    // Bayer rows go as they are; LinearRaw drops each pixel's alpha.
    const bool written = linear
                             ? file->writeRows([&](std::uint32_t y, std::uint8_t* row) {
                                   const std::uint16_t* src = buffer.row<std::uint16_t>(y);
                                   auto* dst = reinterpret_cast<std::uint16_t*>(row);
                                   for (std::uint32_t x = 0; x < width; ++x) {
                                       dst[std::size_t(x) * 3] = src[std::size_t(x) * 4];
                                       dst[std::size_t(x) * 3 + 1] = src[std::size_t(x) * 4 + 1];
                                       dst[std::size_t(x) * 3 + 2] = src[std::size_t(x) * 4 + 2];
                                   }
                               })
                             : file->writeRows(buffer.row<std::uint8_t>(0), buffer.bytesPerRow());
    if (!written) {
        return Result<FileData>::failure("DNG: " + file->lastError());
    }
    auto data = file->finish();
    if (!data) {
        return Result<FileData>::failure("DNG: " + data.error());
    }
    return data;
}

Result<RawImage> decodeDng(FileBytes bytes) {
    auto file = detail::MemoryTiff::openForReading(bytes);
    if (!file) {
        return Result<RawImage>::failure("DNG: not a TIFF-based file");
    }
    TIFF* tif = file->get();
    std::uint8_t* version = nullptr;
    if (TIFFGetField(tif, TIFFTAG_DNGVERSION, &version) != 1 || version == nullptr) {
        return Result<RawImage>::failure("DNG: the file has no DNGVersion");
    }
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0, samples = 0, photometric = 0, compression = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    if (bits != 16 || compression != COMPRESSION_NONE) {
        return Result<RawImage>::failure("DNG: only uncompressed 16-bit images are read");
    }
    FourCharCode format = 0;
    if (photometric == PHOTOMETRIC_CFA && samples == 1) {
        std::uint16_t* dim = nullptr;
        std::uint16_t count = 0;
        std::uint8_t* cfa = nullptr;
        if (TIFFGetField(tif, tagCfaRepeatPatternDim, &dim) != 1 || dim[0] != 2 || dim[1] != 2 ||
            TIFFGetField(tif, TIFFTAG_CFAPATTERN, &count, &cfa) != 1 || count != 4) {
            return Result<RawImage>::failure("DNG: the CFA pattern is not 2x2");
        }
        const auto bayer = bayerFormatFor(cfa);
        if (!bayer) {
            return Result<RawImage>::failure("DNG: the CFA pattern is not a Bayer pattern");
        }
        format = *bayer;
    } else if (photometric == photometricLinearRaw && samples == 3) {
        format = pixelformat::rgba64LE;
    } else {
        return Result<RawImage>::failure("DNG: neither a 2x2 CFA nor LinearRaw RGB image");
    }
    if (auto problem = file->imageProblem()) {
        return Result<RawImage>::failure("DNG: " + *problem);
    }
    auto buffer = PixelBuffer::make(width, height, format);
    if (!buffer) {
        return Result<RawImage>::failure("DNG: bad image size");
    }
    std::vector<std::uint16_t> row(std::size_t(width) * samples);
    if (std::size_t(TIFFScanlineSize64(tif)) != row.size() * 2) {
        return Result<RawImage>::failure("DNG: unexpected row size");
    }
    buffer->lock();
    for (std::uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) != 1) {
            buffer->unlock();
            return Result<RawImage>::failure("DNG: " + file->lastError());
        }
        auto* dst = buffer->row<std::uint16_t>(y);
        if (samples == 1) {
            std::memcpy(dst, row.data(), row.size() * 2);
        } else {
            for (std::uint32_t x = 0; x < width; ++x) {
                std::memcpy(dst + std::size_t(x) * 4, &row[std::size_t(x) * 3], 6);
                dst[std::size_t(x) * 4 + 3] = 65535;
            }
        }
    }
    buffer->unlock();
    auto metadata = readMetadata(bytes);
    if (!metadata) {
        return Result<RawImage>::failure(metadata.error());
    }
    return RawImage{std::move(buffer), std::move(*metadata)};
}

} // namespace qv::platform::imaging

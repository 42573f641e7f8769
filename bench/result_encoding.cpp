// Taking a result from a 12-megapixel frame (4032 x 3024): our DNG, TIFF and
// JPEG encoders, metadata and all, each against a direct encode of the same
// samples into memory by libtiff or libjpeg-turbo in the same run (medians
// of interleaved repetitions), and the resident memory each takes at its
// peak above what the process held before (the first result of its kind,
// with the part of it that is library code touched for the first time, then
// one after many), beside the frame's own size.
// Then a RAW merger's whole result (the average pass and the DNG). The
// program then runs itself again pinned to two CPUs.
//   result_encoding_bench [repetitions]
#include "BenchSupport.hpp"
#include "engine/MetaDataCustomizer.hpp"
#include "engine/RawAveragingMergers.hpp"
#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/console/Console.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/media/MetadataKeys.hpp"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <cstdlib>
#include <cstring>
#include <functional>
#include <tiffio.h>
#include <vector>

using namespace qv::platform;
using namespace qv::platform::imaging;

namespace {

constexpr std::uint32_t width = 4032;
constexpr std::uint32_t height = 3024;

// The metadata of a result: exposure, the run's description, a location.
MetadataDictionary resultMetadata() {
    MetadataDictionary metadata;
    namespace key = metadata;
    auto& exif = metadata.dictionary(key::exifGroup);
    exif.set(key::exifExposureTime, 30.0);
    exif.set(key::exifISOSpeedRatings, MetadataList{MetadataValue(std::int64_t(100))});
    auto& tiff = metadata.dictionary(key::tiffGroup);
    tiff.set(key::tiffMake, "Quarn Vesil");
    tiff.set(key::tiffModel, "Simulated Camera");
    tiff.set(key::tiffSoftware, "Quarn Vesil 1.0.0");
    tiff.set(key::tiffImageDescription, "ST mode 120 frames in 2m 0s 53% battery");
    auto& gps = metadata.dictionary(key::gpsGroup);
    gps.set(key::gpsLatitude, 33.9);
    gps.set(key::gpsLatitudeRef, "S");
    gps.set(key::gpsLongitude, 18.4);
    gps.set(key::gpsLongitudeRef, "E");
    gps.set(key::gpsVersion, "2.2.0.0");
    auto& dng = metadata.dictionary(key::dngGroup);
    dng.set(key::dngBlackLevel, 528);
    dng.set(key::dngWhiteLevel, 16383);
    return metadata;
}

// libtiff into a vector reserved for the whole file.
struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    std::uint64_t position = 0;

    static tmsize_t write(thandle_t h, void* data, tmsize_t size) {
        auto* f = static_cast<MemoryFile*>(h);
        if (f->position + std::uint64_t(size) > f->bytes.size()) {
            f->bytes.resize(f->position + std::uint64_t(size));
        }
        std::memcpy(f->bytes.data() + f->position, data, std::size_t(size));
        f->position += std::uint64_t(size);
        return size;
    }
    static tmsize_t read(thandle_t, void*, tmsize_t) { return 0; }
    static toff_t seek(thandle_t h, toff_t offset, int whence) {
        auto* f = static_cast<MemoryFile*>(h);
        const std::uint64_t base =
            whence == SEEK_CUR ? f->position : (whence == SEEK_END ? f->bytes.size() : 0);
        f->position = base + offset;
        return f->position;
    }
    static int close(thandle_t) { return 0; }
    static toff_t size(thandle_t h) { return static_cast<MemoryFile*>(h)->bytes.size(); }
    static int map(thandle_t, void**, toff_t*) { return 0; }
    static void unmap(thandle_t, void*, toff_t) {}
};

// A direct libtiff encode: the basic tags, then strips of about 256 KiB that
// `fill` writes a row at a time.
std::size_t libtiffEncode(std::uint16_t bits, std::uint16_t samples, std::uint16_t photometric,
                          const std::function<void(std::uint32_t, std::uint8_t*)>& fill) {
    MemoryFile file;
    const std::size_t rowBytes = std::size_t(width) * samples * bits / 8;
    file.bytes.reserve(rowBytes * height + 65536);
    TIFF* tif =
        TIFFClientOpen("bench", "wl", &file, MemoryFile::read, MemoryFile::write, MemoryFile::seek,
                       MemoryFile::close, MemoryFile::size, MemoryFile::map, MemoryFile::unmap);
    const std::uint32_t rowsPerStrip = std::uint32_t(256 * 1024 / rowBytes);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    std::vector<std::uint8_t> strip(rowsPerStrip * rowBytes);
    for (std::uint32_t y = 0, index = 0; y < height; y += rowsPerStrip, ++index) {
        const std::uint32_t rows = std::min(rowsPerStrip, height - y);
        for (std::uint32_t r = 0; r < rows; ++r) {
            fill(y + r, strip.data() + r * rowBytes);
        }
        TIFFWriteEncodedStrip(tif, index, strip.data(), tmsize_t(rows * rowBytes));
    }
    TIFFWriteDirectory(tif);
    TIFFClose(tif);
    return file.bytes.size();
}

// A direct libjpeg-turbo encode of the image's RGBA rows into memory.
std::size_t libjpegEncode(const RgbaImage& image, int quality) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 4;
    info.in_color_space = JCS_EXT_RGBA;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.row8(info.next_scanline).data());
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::free(out);
    return size;
}

struct Case {
    const char* name;
    std::size_t frameBytes; // the frame the result is taken from
    std::function<void()> ours;
    std::function<void()> reference;
};

double mebibytes(std::size_t bytes) {
    return double(bytes) / (1 << 20);
}

// Resident memory at the peak of `work` above the resident memory before it,
// and how much more of the program's and its libraries' files stays resident
// after it (code run for the first time), in MiB.
struct Peak {
    double above;
    double code;
};
Peak peakOf(const std::function<void()>& work) {
    const std::size_t before = qv::bench::residentBytes();
    const std::size_t codeBefore = qv::bench::fileResidentBytes();
    qv::bench::resetPeakResident();
    work();
    const std::size_t peak = qv::bench::peakResidentBytes();
    const std::size_t code = qv::bench::fileResidentBytes();
    return {peak > before ? mebibytes(peak - before) : 0.0,
            code > codeBefore ? mebibytes(code - codeBefore) : 0.0};
}
double peakAboveMiB(const std::function<void()>& work) {
    return peakOf(work).above;
}

void must(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "%s failed\n", what);
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool pinned = qv::bench::isPinnedCopy(argc, argv);
    const int repetitions = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 11;
    std::printf("%s%u x %u frames, %s, median of %d interleaved runs\n",
                pinned ? "\n== pinned to two CPUs ==\n" : "", width, height,
                qv::bench::machineLine().c_str(), repetitions);

    setConsoleSink([](std::string_view) {}); // the merger's timing lines
    const MetadataDictionary metadata = resultMetadata();
    SyntheticPhotoOptions options;
    options.width = width;
    options.height = height;
    const auto raw = makeSyntheticPhoto(options);
    options.pixelFormat = pixelformat::bgra32;
    const auto processed = makeSyntheticPhoto(options);
    const PixelBuffer& bayer = *raw->pixelBuffer();
    const PixelBuffer& bgra = *processed->pixelBuffer();
    RgbaImage developed(width, height, 16, ColorSpace::displayP3);
    RgbaImage picture(width, height, 8, ColorSpace::sRGB);
    for (std::uint32_t y = 0; y < height; ++y) {
        const auto* src = bgra.row<std::uint8_t>(y);
        auto row16 = developed.row16(y);
        auto row8 = picture.row8(y);
        for (std::size_t i = 0; i < std::size_t(width) * 4; ++i) {
            row8[i] = src[i];
            row16[i] = std::uint16_t(src[i] * 257);
        }
    }

    const std::vector<Case> cases = {
        {"DNG (Bayer, 16-bit)", bayer.dataSize(),
         [&] { must(encodeDng(bayer, metadata).ok(), "DNG"); },
         [&] {
             libtiffEncode(16, 1, PHOTOMETRIC_MINISBLACK, [&](std::uint32_t y, std::uint8_t* row) {
                 std::memcpy(row, bayer.row<std::uint8_t>(y), std::size_t(width) * 2);
             });
         }},
        {"TIFF (processed BGRA to 8-bit RGB)", bgra.dataSize(),
         [&] { must(encodeTiff(bgra, metadata).ok(), "TIFF"); },
         [&] {
             libtiffEncode(8, 3, PHOTOMETRIC_RGB, [&](std::uint32_t y, std::uint8_t* row) {
                 const auto* src = bgra.row<std::uint8_t>(y);
                 for (std::size_t x = 0; x < width; ++x) {
                     row[x * 3] = src[x * 4 + 2];
                     row[x * 3 + 1] = src[x * 4 + 1];
                     row[x * 3 + 2] = src[x * 4];
                 }
             });
         }},
        {"TIFF (16-bit RGB)", std::size_t(width) * height * 8,
         [&] { must(encodeTiff(developed, metadata, {.keepAlpha = false}).ok(), "TIFF 16"); },
         [&] {
             libtiffEncode(16, 3, PHOTOMETRIC_RGB, [&](std::uint32_t y, std::uint8_t* row) {
                 const auto src = developed.row16(y);
                 auto* dst = reinterpret_cast<std::uint16_t*>(row);
                 for (std::size_t x = 0; x < width; ++x) {
                     dst[x * 3] = src[x * 4];
                     dst[x * 3 + 1] = src[x * 4 + 1];
                     dst[x * 3 + 2] = src[x * 4 + 2];
                 }
             });
         }},
        {"JPEG (8-bit, quality 90)", std::size_t(width) * height * 4,
         [&] { must(encodeJpeg(picture, 90, metadata).ok(), "JPEG"); },
         [&] { libjpegEncode(picture, 90); }},
    };

    // The first result of each kind meets memory no earlier one left behind.
    std::vector<Peak> firstPeaks;
    for (const Case& c : cases) {
        firstPeaks.push_back(peakOf(c.ours));
    }
    std::vector<qv::bench::Contender> contenders;
    for (const Case& c : cases) {
        contenders.push_back({c.ours, c.reference});
    }
    const auto timings = qv::bench::timeInterleaved(contenders, repetitions);
    std::printf("%-36s %8s %8s %6s %9s %9s %9s %9s %9s\n", "result", "ms", "direct", "ratio",
                "first MiB", "code MiB", "peak MiB", "direct", "frame MiB");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const double ours = peakAboveMiB(cases[i].ours);
        const double direct = peakAboveMiB(cases[i].reference);
        std::printf("%-36s %8.2f %8.2f %6.2f %9.1f %9.1f %9.1f %9.1f %9.1f\n", cases[i].name,
                    timings[i].ours * 1e3, timings[i].reference * 1e3, timings[i].ratio(),
                    firstPeaks[i].above, firstPeaks[i].code, ours, direct,
                    mebibytes(cases[i].frameBytes));
    }

    // A merger's whole result: the average pass into the photo, then its DNG.
    auto& customizer = qv::MetaDataCustomizer::shared();
    auto merger = qv::MetalRAWPhotoMerger::make(raw, true, customizer);
    for (int i = 0; i < 3; ++i) {
        merger->addPhoto(raw);
    }
    const auto result = [&] { must(merger->resultData(0, 0).has_value(), "result"); };
    const Peak first = peakOf(result);
    const auto timing = qv::bench::timeInterleaved({{result, result}}, repetitions, 0)[0];
    std::printf("%-36s %8.2f %8s %6s %9.1f %9.1f %9.1f %9s %9.1f\n", "RAW average resultData",
                timing.ours * 1e3, "", "", first.above, first.code, peakAboveMiB(result), "",
                mebibytes(bayer.dataSize()));
    std::printf("load average at the end: %s\n", qv::bench::machineLine().c_str());
    return pinned ? 0 : qv::bench::runPinnedCopy(argc, argv);
}

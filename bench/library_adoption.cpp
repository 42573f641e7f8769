// Taking a library's files in: a Photos folder of 800 copies (hard links) of 12-megapixel DNGs
// and 800 of 12-megapixel JPEGs (eight pictures of each kind, with their Exif dates, fixes
// and orientations, as the app writes them) and no index, as after an index set aside or a
// library copied from a backup. The library opens on real threads and takes every file in;
// measured from its construction until its opening is over (PhotoLibrary::whenOpened), the
// index made anew each round. Its reference, in the same run: a bare read of the same files'
// bytes on as many threads as the worker pool has. Every figure is the median of interleaved
// repetitions, on a warm cache. The goal: 200 files a second or more on 8 cores.
//   library_adoption_bench [repetitions] [--keep DIR]
// --keep DIR leaves such a library in DIR/Photos (start the app with QV_HOME=DIR to watch
// it being taken in).
#include "BenchSupport.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/ProcessorBudget.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "platform/media/PixelBuffer.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibrary.hpp"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
namespace key = qv::platform::metadata;
using qv::platform::MetadataDictionary;

namespace {

constexpr std::size_t width = 4032;
constexpr std::size_t height = 3024;
constexpr int copiesOfEachKind = 800;
constexpr int picturesOfEachKind = 8;
constexpr double goalFilesPerSecond = 200;

// The tags of the app's results: the picture's moment, a fix, how it was held.
MetadataDictionary tagsOf(int picture) {
    MetadataDictionary metadata;
    auto& exif = metadata.dictionary(key::exifGroup);
    char date[64];
    std::snprintf(date, sizeof date, "2024:01:%02d 21:%02d:05", 1 + picture, 10 + picture);
    exif.set(key::exifDateTimeOriginal, std::string(date));
    exif.set(key::exifExposureTime, 20.0);
    auto& tiff = metadata.dictionary(key::tiffGroup);
    tiff.set(key::tiffSoftware, "Quarn Vesil");
    tiff.set(key::tiffOrientation, std::int64_t{6});
    auto& gps = metadata.dictionary(key::gpsGroup);
    gps.set(key::gpsLatitude, 33.9);
    gps.set(key::gpsLatitudeRef, "S");
    gps.set(key::gpsLongitude, 18.4);
    gps.set(key::gpsLongitudeRef, "E");
    return metadata;
}

// A night sky's RAW: dark, with sensor noise (14 bits).
qv::platform::imaging::FileData dngPicture(int picture) {
    auto buffer =
        qv::platform::PixelBuffer::make(width, height, qv::platform::pixelformat::bayer14RGGB);
    std::mt19937 random{unsigned(picture)};
    std::uniform_int_distribution<int> noise(0, 400);
    buffer->lock();
    for (std::size_t y = 0; y < height; ++y) {
        auto* row = buffer->row<std::uint16_t>(y);
        for (std::size_t x = 0; x < width; ++x) {
            row[x] = std::uint16_t(528 + noise(random) + int(y / 8));
        }
    }
    buffer->unlock();
    MetadataDictionary metadata = tagsOf(picture);
    auto& dng = metadata.dictionary(key::dngGroup);
    dng.set(key::dngBlackLevel, 528);
    dng.set(key::dngWhiteLevel, 16383);
    dng.set(key::dngAsShotNeutral, qv::platform::MetadataList{0.5, 1.0, 0.7});
    auto file = qv::platform::imaging::encodeDng(*buffer, metadata);
    return file ? *file : qv::platform::imaging::FileData();
}

// The same sky developed: a JPEG of the gradients a merged result shows.
qv::platform::imaging::FileData jpegPicture(int picture) {
    const auto image = qv::bench::gradientPicture(width, height);
    auto file = qv::platform::imaging::encodeJpeg(*image, 90 - picture, tagsOf(picture));
    return file ? *file : qv::platform::imaging::FileData();
}

bool write(const fs::path& file, const qv::platform::imaging::FileData& data) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return data.size() > 0 && bool(out);
}

// The library's folder: the pictures in `root`, hard-linked under new names into
// Photos/2024/01 as the app names its copies.
std::vector<fs::path> makeLibrary(const fs::path& root) {
    const fs::path month = root / "Photos" / "2024" / "01";
    fs::create_directories(month);
    std::vector<fs::path> files;
    std::mt19937_64 random(42);
    const auto uuid = [&] {
        char text[40];
        const std::uint64_t a = random(), b = random();
        std::snprintf(text, sizeof text, "%08X-%04X-4%03X-A%03X-%012llX", unsigned(a >> 32),
                      unsigned(a >> 16) & 0xFFFF, unsigned(a) & 0xFFF, unsigned(b >> 48) & 0xFFF,
                      static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
        return std::string(text);
    };
    for (const auto& [extension, make] :
         {std::pair{"DNG", &dngPicture}, std::pair{"JPG", &jpegPicture}}) {
        for (int picture = 0; picture < picturesOfEachKind; ++picture) {
            const fs::path original =
                root / ("picture" + std::to_string(picture) + "." + extension);
            if (!write(original, make(picture))) {
                std::fprintf(stderr, "could not write %s\n", original.c_str());
                std::exit(1);
            }
            for (int copy = picture; copy < copiesOfEachKind; copy += picturesOfEachKind) {
                files.push_back(month / (uuid() + "." + extension));
                fs::create_hard_link(original, files.back());
            }
        }
    }
    return files;
}

// Reads every file whole on `threads` threads; the bytes read.
std::uintmax_t readAll(const std::vector<fs::path>& files, std::size_t threads) {
    std::atomic<std::size_t> next{0};
    std::atomic<std::uintmax_t> total{0};
    std::vector<std::thread> readers;
    for (std::size_t t = 0; t < threads; ++t) {
        readers.emplace_back([&] {
            std::vector<std::uint8_t> bytes;
            for (std::size_t at = next++; at < files.size(); at = next++) {
                if (!qv::platform::readRegularFile(files[at], std::uintmax_t(1) << 30, bytes)) {
                    total += bytes.size();
                }
            }
        });
    }
    for (auto& reader : readers) {
        reader.join();
    }
    return total.load();
}

// Opens the library over a folder without an index and waits until every file is in.
std::size_t adoptAll(const fs::path& root, qv::platform::Permissions& permissions) {
    for (const char* name : {"library.sqlite", "library.sqlite-wal", "library.sqlite-shm"}) {
        fs::remove(root / "Photos" / name);
    }
    qv::platform::PhotoLibrary library(root / "Photos", permissions);
    std::promise<void> opened;
    library.whenOpened([&] { opened.set_value(); });
    opened.get_future().wait();
    return library.fetchAssets().count();
}

} // namespace

int main(int argc, char** argv) {
    int repetitions = 5;
    std::optional<fs::path> keep;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else {
            repetitions = std::max(1, std::atoi(argv[i]));
        }
    }
    ::setenv("QV_PERMISSIONS", "photos=authorized", 1);
    const fs::path root =
        keep ? *keep : fs::temp_directory_path() / ("qv-adoption-" + std::to_string(::getpid()));
    fs::create_directories(root);
    std::printf("%s\n", qv::bench::machineLine().c_str());
    std::printf("making %d DNGs and %d JPEGs of %zu x %zu in %s ...\n", copiesOfEachKind,
                copiesOfEachKind, width, height, (root / "Photos").c_str());
    const std::vector<fs::path> files = makeLibrary(root);
    const auto quiet = qv::platform::setConsoleSink([](std::string_view) {});
    qv::platform::Permissions permissions(root / "permissions.json", {"photos=authorized"});

    const std::size_t threads = std::max<std::size_t>(2, qv::platform::processorBudget());
    std::uintmax_t bytes = readAll(files, threads); // the cache made warm
    std::size_t taken = 0;
    const auto timing = qv::bench::timeInterleaved(
        {{[&] { taken = adoptAll(root, permissions); }, [&] { bytes = readAll(files, threads); }}},
        repetitions, 1);
    qv::platform::setConsoleSink(quiet);

    const double count = double(files.size());
    std::printf("%zu files, %.1f GB, %zu threads, %d repetitions\n", files.size(),
                double(bytes) / 1e9, threads, repetitions);
    std::printf("%-32s %10s %12s\n", "", "seconds", "files/s");
    std::printf("%-32s %10.2f %12.0f\n", "taken into the library", timing[0].ours,
                count / timing[0].ours);
    std::printf("%-32s %10.2f %12.0f\n", "bare read of the same bytes", timing[0].reference,
                count / timing[0].reference);
    std::printf("ratio %.2f; goal %.0f files/s: %s\n", timing[0].ratio(), goalFilesPerSecond,
                count / timing[0].ours >= goalFilesPerSecond ? "met" : "missed");
    if (taken != files.size()) {
        std::printf("the library took in %zu of %zu files\n", taken, files.size());
        return 1;
    }
    if (!keep) {
        fs::remove_all(root);
    }
    return 0;
}

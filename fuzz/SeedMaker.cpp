// Writes the seed corpus of the fuzz targets with the app's own writers:
//   fuzz_seed_maker <fuzz folder>
// fills <fuzz folder>/corpus/<target>/ with tiny JPEG, TIFF and DNG files, settings and
// permissions files, location values and photo library indexes. The seeds are kept in the
// repository; run this again only when the writers change what a file looks like.

#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibrary.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

using namespace qv::platform;
using namespace qv::platform::imaging;
namespace fs = std::filesystem;

namespace {

MetadataDictionary photoMetadata() {
    MetadataDictionary metadata;
    auto& exif = metadata.dictionary(metadata::exifGroup);
    exif.set(metadata::exifExposureTime, 0.008);
    exif.set(metadata::exifISOSpeedRatings, MetadataList{MetadataValue(100)});
    exif.set(metadata::exifFNumber, 1.8);
    auto& tiff = metadata.dictionary(metadata::tiffGroup);
    tiff.set(metadata::tiffSoftware, "Quarn Vesil 1.0.0");
    tiff.set(metadata::tiffImageDescription, "LT mode 12 frames in 12s 53% battery");
    tiff.set(metadata::tiffOrientation, 6);
    auto& gps = metadata.dictionary(metadata::gpsGroup);
    gps.set(metadata::gpsLatitude, 33.9);
    gps.set(metadata::gpsLatitudeRef, "S");
    gps.set(metadata::gpsLongitude, 18.4);
    gps.set(metadata::gpsLongitudeRef, "E");
    gps.set(metadata::gpsTimeStamp, "21:59:59.500000");
    gps.set(metadata::gpsVersion, "2.2.0.0");
    auto& dng = metadata.dictionary(metadata::dngGroup);
    dng.set(metadata::dngBlackLevel, 528);
    dng.set(metadata::dngWhiteLevel, 16383);
    dng.set(metadata::dngAsShotNeutral,
            MetadataList{MetadataValue(0.5), MetadataValue(1.0), MetadataValue(0.7)});
    return metadata;
}

RgbaImage gradient(std::size_t width, std::size_t height, int bits, ColorSpace space) {
    RgbaImage image(width, height, bits, space);
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t values[4] = {x * 255 / width, y * 255 / height,
                                           (x + y) * 127 / (width + height), 255};
            for (std::size_t c = 0; c < 4; ++c) {
                if (bits == 8) {
                    image.row8(y)[x * 4 + c] = std::uint8_t(values[c]);
                } else {
                    image.row16(y)[x * 4 + c] = std::uint16_t(values[c] * 257);
                }
            }
        }
    }
    return image;
}

std::shared_ptr<PixelBuffer> rawBuffer(std::size_t width, std::size_t height, FourCharCode format) {
    auto buffer = PixelBuffer::make(width, height, format);
    const std::size_t samples = format == pixelformat::rgba64LE ? 4 : 1;
    for (std::size_t y = 0; y < height; ++y) {
        auto* row = buffer->row<std::uint16_t>(y);
        for (std::size_t i = 0; i < width * samples; ++i) {
            row[i] = std::uint16_t(528 + (i * 97 + y * 389) % 15000);
        }
    }
    return buffer;
}

bool save(const fs::path& folder, std::string_view name, const Result<FileData>& file) {
    if (!file) {
        std::fprintf(stderr, "%.*s: %s\n", int(name.size()), name.data(), file.error().c_str());
        return false;
    }
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(file->data()), std::streamsize(file->size()));
    return true;
}

bool saveText(const fs::path& folder, std::string_view name, std::string_view text) {
    return save(folder, name, FileData(text.begin(), text.end()));
}

// A library's index as the library writes it, holding `pictures` (JPEG files); nothing
// when the library fails to take one.
std::optional<FileData> libraryIndex(const fs::path& scratch,
                                     const std::vector<FileData>& pictures) {
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    {
        VirtualDispatch dispatch;
        Permissions permissions(scratch / "permissions.json", {"photos=authorized"});
        PhotoLibrary library(scratch / "Photos", permissions);
        dispatch.runUntilIdle(); // the library opens (and makes its index)
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            const fs::path file = scratch / ("picture" + std::to_string(i) + ".JPG");
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(pictures[i].data()),
                       std::streamsize(pictures[i].size()));
            bool added = false;
            library.createAsset(file, [&](bool success, auto) { added = success; });
            dispatch.runUntilIdle();
            if (!added) {
                return std::nullopt;
            }
        }
    } // closing the library folds its journal into the index file
    std::ifstream in(scratch / "Photos" / "library.sqlite", std::ios::binary);
    FileData index{std::istreambuf_iterator<char>(in), {}};
    fs::remove_all(scratch);
    return index;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_maker <fuzz folder>\n");
        return 2;
    }
    const fs::path corpus = fs::path(argv[1]) / "corpus";
    const MetadataDictionary metadata = photoMetadata();
    const auto bgra = PixelBuffer::make(12, 8, pixelformat::bgra32);

    bool ok = true;
    for (const char* target : {"decode_image", "read_metadata"}) {
        const fs::path folder = corpus / target;
        ok &= save(folder, "srgb.jpg",
                   encodeJpeg(gradient(16, 12, 8, ColorSpace::sRGB), 90, metadata));
        ok &= save(folder, "p3.jpg",
                   encodeJpeg(gradient(9, 7, 16, ColorSpace::displayP3), 60, metadata));
        ok &=
            save(folder, "rgb8.tif",
                 encodeTiff(gradient(16, 12, 8, ColorSpace::sRGB), metadata, {.keepAlpha = false}));
        ok &= save(folder, "rgba16.tif",
                   encodeTiff(gradient(9, 7, 16, ColorSpace::linearSRGB), metadata));
        ok &= save(folder, "bgra.tif", encodeTiff(*bgra, metadata));
    }
    for (const char* target : {"decode_image", "read_metadata", "develop_raw"}) {
        const fs::path folder = corpus / target;
        ok &= save(folder, "bayer.dng",
                   encodeDng(*rawBuffer(16, 12, pixelformat::bayer14RGGB), metadata));
        ok &= save(folder, "bayer_gbrg.dng",
                   encodeDng(*rawBuffer(6, 4, pixelformat::bayer14GBRG), metadata));
        ok &= save(folder, "linear.dng",
                   encodeDng(*rawBuffer(8, 6, pixelformat::rgba64LE), metadata));
    }
    // Frames of the photo size the recorded_frames target reads them for (32x24).
    const fs::path recorded = corpus / "recorded_frames";
    ok &=
        save(recorded, "srgb.jpg", encodeJpeg(gradient(32, 24, 8, ColorSpace::sRGB), 90, metadata));
    ok &= save(recorded, "rgba16.tif",
               encodeTiff(gradient(32, 24, 16, ColorSpace::linearSRGB), metadata));
    ok &= save(recorded, "bayer.dng",
               encodeDng(*rawBuffer(32, 24, pixelformat::bayer14RGGB), metadata));
    ok &= save(recorded, "bayer_gbrg.dng",
               encodeDng(*rawBuffer(32, 24, pixelformat::bayer14GBRG), metadata));

    const fs::path profiles = corpus / "camera_profile";
    ok &= saveText(profiles, "three_cameras.json",
                   "{\"make\": \"M\", \"model\": \"P\", \"cameras\": [\n"
                   "  {\"type\": \"wide\", \"photoSize\": [4032, 3024], \"iso\": [32, 3072],\n"
                   "   \"exposureDuration\": [0.00001, 1], \"exposureBias\": [-8, 8],\n"
                   "   \"zoomFactors\": [2], \"blackLevel\": 528, \"whiteLevel\": 16383},\n"
                   "  {\"type\": \"tele\", \"fieldOfView\": 26.3, \"aperture\": 2.8},\n"
                   "  {\"type\": \"ultraWide\", \"autoFocus\": false, \"raw\": false}]}\n");
    ok &= saveText(profiles, "no_cameras.json", "{\"cameras\": []}");
    ok &= saveText(profiles, "faulty_field.json",
                   "{\"cameras\": [{\"type\": \"wide\", \"iso\": [800, 100]}]}");

    const fs::path settings = corpus / "settings_load";
    ok &= saveText(settings, "typical.json",
                   "{\n  \"betaNightMergeMode\" : 0,\n  \"delay\" : 5,\n  \"evOffset\" : -0.7,\n"
                   "  \"fileFormat\" : \"RAW\",\n  \"lastLaunchedVersion\" : \"1.0.0\",\n"
                   "  \"saveLocationData\" : false,\n  \"totalTime\" : 30.0,\n"
                   "  \"volumeShutter\" : true\n}\n");
    ok &= saveText(settings, "empty.json", "{}\n");
    ok &= saveText(
        settings, "nested.json",
        "{\"a\":{\"b\":[1,2.5e-3,{\"c\":null}]},\"s\":\"\\u00e9\\n\",\"n\":-9007199254740993}");
    ok &= saveText(settings, "not_an_object.json", "[1,2,3]");

    const fs::path permissions = corpus / "permissions_load";
    ok &= saveText(permissions, "typical.json",
                   "{\n  \"camera\": \"authorized\",\n  \"location\": \"whenInUse\",\n"
                   "  \"photos\": \"limited\"\n}\n");
    ok &= saveText(permissions, "undetermined.json",
                   "{\"camera\":\"notDetermined\",\"photos\":\"denied\"}");
    ok &= saveText(permissions, "wrong_status.json", "{\"camera\":\"always\"}");
    ok &= saveText(permissions, "not_an_object.json", "[\"camera\"]");

    const fs::path location = corpus / "location_value";
    ok &= saveText(location, "full.txt", "-33.8568,151.2153,-12.5,270");
    ok &= saveText(location, "plain.txt", "48.137,11.575");
    ok &= saveText(location, "out_of_range.txt", "91,0");

    const fs::path indexes = corpus / "library_index_open";
    const fs::path scratch = fs::temp_directory_path() / "qv-seed-library";
    const auto empty = libraryIndex(scratch, {});
    const auto one =
        libraryIndex(scratch, {*encodeJpeg(gradient(16, 12, 8, ColorSpace::sRGB), 90, metadata)});
    ok &= empty && save(indexes, "empty.sqlite", *empty);
    ok &= one && save(indexes, "one_asset.sqlite", *one);
    const fs::path script = corpus / "permission_script";
    ok &=
        saveText(script, "full.txt", "camera=authorized,photos=limited,location=denied,ask=allow");
    ok &= saveText(script, "ask.txt", "ask=deny");
    ok &= saveText(script, "location.txt", "location=always");
    return ok ? 0 : 1;
}

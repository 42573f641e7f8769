// simulated_camera_pictures <folder>: writes the pictures of docs/platform-capture.md, shown
// upright as the camera screen shows them:
//   simulated-camera.png        one 10 s frame of the synthetic night scene
//   simulated-star-trails.png   40 frames of 30 s through the star-trail merger
//   simulated-light-trails.png  20 frames of 1 s through the light-trail merger

#include "SimulatedRun.hpp"
#include "platform/imaging/Tiff.hpp"

#include <cairo.h>
#include <cstdio>
#include <filesystem>

namespace {

using namespace qv;
using namespace qv::platform;

// The landscape picture turned upright (a quarter turn clockwise) as a PNG.
bool writeUpright(const RgbaImage& picture, const std::filesystem::path& path) {
    const int width = int(picture.height());
    const int height = int(picture.width());
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
        for (int x = 0; x < width; ++x) {
            // The frame's point (u, v) is shown at (w (1 - v), h u).
            const auto source =
                picture.row8(std::size_t(width - 1 - x)).subspan(std::size_t(y) * 4, 3);
            row[x] = std::uint32_t(source[0]) << 16 | std::uint32_t(source[1]) << 8 | source[2];
        }
    }
    cairo_surface_mark_dirty(surface);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

bool writeResult(const test::SimulatedRun& run, const std::filesystem::path& path) {
    const auto file = run.merger ? run.merger->resultData(0, 0) : std::nullopt;
    const auto picture =
        file ? imaging::decodeTiff(*file) : imaging::Result<RgbaImage>::failure("no result");
    return picture && writeUpright(*picture, path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: simulated_camera_pictures <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    test::SimulatedRunOptions stars;
    stars.format = pixelformat::bgra32;
    stars.size = {672, 504};
    stars.photos = 40;
    stars.seconds = 30;
    stars.iso = 400;
    const auto starRun = test::runSimulatedCamera(stars);

    test::SimulatedRunOptions single = stars;
    single.photos = 1;
    single.seconds = 10;
    single.iso = 1600;
    const auto frame = test::runSimulatedCamera(single);
    const auto still = imaging::decodeTiff(*frame.firstPhoto->fileDataRepresentation());

    test::SimulatedRunOptions lights = stars;
    lights.mode = SequenceMode::lightTrails;
    lights.photos = 20;
    lights.seconds = 1;
    lights.iso = 3200;
    const auto lightRun = test::runSimulatedCamera(lights);

    const bool written = still && writeUpright(*still, folder / "simulated-camera.png") &&
                         writeResult(starRun, folder / "simulated-star-trails.png") &&
                         writeResult(lightRun, folder / "simulated-light-trails.png");
    if (!written) {
        std::fprintf(stderr, "simulated_camera_pictures: could not write the pictures\n");
        return 1;
    }
    return 0;
}

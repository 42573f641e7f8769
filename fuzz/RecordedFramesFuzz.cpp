// A recorded-frame folder holding one file of any bytes: no scene, or a scene that renders
// a RAW photo, a live 'BGRA' frame and a meter reading within their buffers and ranges.

#include "platform/capture/scene/RecordedFrames.hpp"
#include "platform/console/Console.hpp"
#include "support/FuzzCheck.hpp"
#include "support/ScratchFolder.hpp"

#include <cmath>
#include <cstdint>

using namespace qv::platform;

namespace {

// The photo size the fuzzed frames are read for (the seeds have it).
constexpr PixelDimensions photoSize{32, 24};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qv::fuzz::ScratchFolder folder("recorded_frames");
    folder.clear();
    folder.write("frame.dng", {reinterpret_cast<const char*>(data), size});
    const ConsoleCapture quiet;
    std::string problem;
    const auto frames = RecordedFrames::open(folder.path(), photoSize, problem);
    if (!frames) {
        QV_FUZZ_CHECK(!problem.empty());
        return 0;
    }
    FrameExposure exposure;
    auto raw = PixelBuffer::make(32, 24, pixelformat::bayer14RGGB);
    frames->render({}, exposure, FramePurpose::photo, *raw);
    for (std::size_t y = 0; y < raw->height(); ++y) {
        for (std::size_t x = 0; x < raw->width(); ++x) {
            QV_FUZZ_CHECK(raw->row<std::uint16_t>(y)[x] <= 16383);
        }
    }
    auto live = PixelBuffer::make(12, 9, pixelformat::bgra32);
    frames->render({}, exposure, FramePurpose::live, *live);
    QV_FUZZ_CHECK(live->row<std::uint8_t>(8)[11 * 4 + 3] == 255);
    for (double mean : frames->meter({}, exposure)) {
        QV_FUZZ_CHECK(std::isfinite(mean) && mean >= 0 && mean <= 1);
    }
    return 0;
}

// A folder of recorded frames as the cameras' scene: order, looping, skipping, conversion
// and exposure scaling.
#include "platform/capture/scene/RecordedFrames.hpp"

#include "ImagingTestSupport.hpp"
#include "PoolBarrier.hpp"
#include "platform/capture/scene/detail/SensorColor.hpp"
#include "platform/console/Console.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace qv::platform {
namespace {

namespace key = metadata;
using imaging::test::TempFolder;
using testing::waitForEarlierPoolTasks;

constexpr PixelDimensions photoSize{32, 24};

// A flat picture of one 8-bit sRGB colour.
RgbaImage flat(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::size_t w = 32,
               std::size_t h = 24) {
    RgbaImage image(w, h, 8);
    for (std::size_t y = 0; y < h; ++y) {
        auto row = image.row8(y);
        for (std::size_t x = 0; x < w; ++x) {
            row[x * 4] = r;
            row[x * 4 + 1] = g;
            row[x * 4 + 2] = b;
            row[x * 4 + 3] = 255;
        }
    }
    return image;
}

MetadataDictionary exposed(double seconds, int iso) {
    MetadataDictionary m;
    auto& exif = m.dictionary(key::exifGroup);
    exif.set(key::exifExposureTime, seconds);
    exif.set(key::exifISOSpeedRatings, MetadataList{MetadataValue(iso)});
    return m;
}

// An exposure white-balanced for the sensor's grey, so sRGB values come back as they were.
FrameExposure exposure(double seconds = 0.01, float iso = 100) {
    FrameExposure e;
    e.durationSeconds = seconds;
    e.iso = iso;
    const auto grey = detail::multiply(detail::srgbToCamera(), {1, 1, 1});
    e.whiteBalanceGains = {float(1 / grey[0]), float(1 / grey[1]), float(1 / grey[2])};
    return e;
}

// The green of the middle pixel of a 'BGRA' rendering.
int greenOf(const RecordedFrames& frames, FramePurpose purpose,
            const FrameExposure& e = exposure()) {
    auto out = PixelBuffer::make(16, 12, pixelformat::bgra32);
    frames.render({}, e, purpose, *out);
    return out->row<std::uint8_t>(6)[8 * 4 + 1];
}

// The frames of `folder`, or null when it has none.
std::shared_ptr<RecordedFrames> openFrames(const std::filesystem::path& folder,
                                           PixelDimensions size) {
    std::string problem;
    auto frames = RecordedFrames::open(folder, size, problem);
    EXPECT_EQ(frames == nullptr, !problem.empty()) << problem;
    return frames;
}

// Why `folder` gives no frames.
std::string problemOf(const std::filesystem::path& folder) {
    std::string problem;
    EXPECT_EQ(RecordedFrames::open(folder, photoSize, problem), nullptr);
    return problem;
}

TEST(RecordedFrames, OnePerPhotoInNameOrderLoopingWithALine) {
    TempFolder folder;
    folder.write("b.jpg", *imaging::encodeJpeg(flat(0, 200, 0), 95, {}));
    folder.write("a.tif", *imaging::encodeTiff(flat(0, 100, 0), {}, {.keepAlpha = false}));
    folder.write("notes.txt", {1, 2, 3});
    const auto frames = openFrames(folder.path(), photoSize);
    ASSERT_NE(frames, nullptr);
    EXPECT_NEAR(greenOf(*frames, FramePurpose::live), 100, 2); // the first frame before any photo
    EXPECT_NEAR(greenOf(*frames, FramePurpose::photo), 100, 2);
    EXPECT_NEAR(greenOf(*frames, FramePurpose::photo), 200, 2);
    EXPECT_NEAR(greenOf(*frames, FramePurpose::live), 200, 2); // the latest photo's frame
    ConsoleCapture console;
    EXPECT_NEAR(greenOf(*frames, FramePurpose::photo), 100, 2);
    EXPECT_NE(console.text().find("starting over at the first frame"), std::string::npos);
}

// Runs on the real worker pool (also under ThreadSanitizer): the next photo's frame is being
// decoded ahead when the scene ends; its end waits for that decode or drops it, so nothing of
// it runs on afterwards (at the app's exit that would race the program's own end).
TEST(RecordedFrames, NoDecodeRunsOnAfterTheSceneHasEnded) {
    for (int round = 0; round < 20; ++round) {
        TempFolder folder;
        for (const char* name : {"1.jpg", "2.jpg", "3.jpg"}) {
            folder.write(name, *imaging::encodeJpeg(flat(0, 50, 0), 95, {}));
        }
        ConsoleCapture console;
        auto frames = openFrames(folder.path(), photoSize);
        ASSERT_NE(frames, nullptr);
        greenOf(*frames, FramePurpose::photo); // queues the decode of the next frame
        frames.reset();
        std::filesystem::remove_all(folder.path());
        waitForEarlierPoolTasks();
        EXPECT_EQ(console.text().find("skipped"), std::string::npos) << console.text();
    }
}

TEST(RecordedFrames, UnusableFramesAreSkippedWithOneLineEach) {
    TempFolder folder;
    folder.write("1.jpg", *imaging::encodeJpeg(flat(0, 50, 0), 95, {}));
    folder.write("2.jpg", {0xFF, 0xD8, 0xFF, 0x00});                             // cut short
    folder.write("3.jpg", *imaging::encodeJpeg(flat(0, 90, 0, 64, 48), 95, {})); // other size
    folder.write("4.jpg", *imaging::encodeJpeg(flat(0, 150, 0), 95, {}));
    ConsoleCapture console;
    const auto frames = openFrames(folder.path(), photoSize);
    ASSERT_NE(frames, nullptr);
    for (int photo = 0; photo < 4; ++photo) {
        EXPECT_NEAR(greenOf(*frames, FramePurpose::photo), photo % 2 == 0 ? 50 : 150, 2);
    }
    const std::string printed = console.text();
    EXPECT_NE(printed.find("recorded frame '2.jpg': "), std::string::npos);
    EXPECT_NE(printed.find("recorded frame '3.jpg': is 64x48, not the photo size 32x24; skipped"),
              std::string::npos);
    EXPECT_EQ(printed.find("2.jpg"), printed.rfind("2.jpg")); // named once, however often passed
}

TEST(RecordedFrames, AFolderWithoutUsableFramesIsNoSceneAndSaysWhy) {
    TempFolder folder;
    EXPECT_EQ(problemOf(folder.path()), "holds no DNG, TIFF or JPEG file");
    folder.write("small.jpg", *imaging::encodeJpeg(flat(0, 90, 0, 8, 8), 95, {}));
    EXPECT_EQ(problemOf(folder.path()), "no usable frame");
    EXPECT_EQ(problemOf(folder.path() / "missing"), "does not exist");
    EXPECT_EQ(problemOf(folder.path() / "small.jpg"), "is not a folder");
    std::filesystem::create_symlink("loop", folder.path() / "loop");
    EXPECT_EQ(problemOf(folder.path() / "loop"),
              "cannot be read (Too many levels of symbolic links)");
}

TEST(RecordedFrames, LoopsFifosAndOtherUnreadableEntriesAreSkippedWithTheirReason) {
    TempFolder folder;
    folder.write("b.jpg", *imaging::encodeJpeg(flat(0, 80, 0), 95, {}));
    std::filesystem::create_symlink("a.dng", folder.path() / "a.dng"); // loops on itself
    ASSERT_EQ(::mkfifo((folder.path() / "c.tif").c_str(), 0644), 0);   // would block a reader
    std::filesystem::create_symlink("/dev/zero", folder.path() / "d.jpeg");
    folder.write("line\nbreak.jpg", {0xFF, 0xD8});
    std::filesystem::create_directory(folder.path() / "e.jpg"); // a folder is no frame at all
    ConsoleCapture console;
    const auto frames = openFrames(folder.path(), photoSize);
    ASSERT_NE(frames, nullptr);
    // The second photo waits for the decoding ahead, which went round the whole folder.
    EXPECT_NEAR(greenOf(*frames, FramePurpose::photo), 80, 2);
    EXPECT_NEAR(greenOf(*frames, FramePurpose::photo), 80, 2);
    const std::string printed = console.text();
    for (const std::string line :
         {"recorded frame 'a.dng': cannot be read (Too many levels of symbolic links); skipped\n",
          "recorded frame 'c.tif': is a FIFO, not a regular file; skipped\n",
          "recorded frame 'd.jpeg': is a character device, not a regular file; skipped\n",
          "recorded frame 'line\\nbreak.jpg': not a DNG, TIFF or JPEG file; skipped\n"}) {
        EXPECT_NE(printed.find(line), std::string::npos) << line << printed;
    }
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 5) << printed; // and starting over
}

// A folder of many unusable files: the first 20 are named, the rest counted in one line
// when the pass through the folder ends; later passes say nothing of them.
TEST(RecordedFrames, ManyUnusableFramesAreNamedUpToTwentyAndTheRestCountedInOneLine) {
    TempFolder folder;
    for (int i = 1; i <= 25; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d.jpg", i);
        folder.write(name, {0xFF, 0xD8});
    }
    folder.write("26.jpg", *imaging::encodeJpeg(flat(0, 120, 0), 95, {}));
    ConsoleCapture console;
    auto frames = openFrames(folder.path(), photoSize);
    ASSERT_NE(frames, nullptr);
    for (int photo = 0; photo < 3; ++photo) {
        EXPECT_NEAR(greenOf(*frames, FramePurpose::photo), 120, 2);
    }
    const std::string printed = console.text();
    EXPECT_NE(printed.find("recorded frame '20.jpg': "), std::string::npos) << printed;
    EXPECT_EQ(printed.find("recorded frame '21.jpg'"), std::string::npos) << printed;
    const std::string count = "recorded frames: 5 more unusable frames of '" +
                              folder.path().string() + "' skipped (only the first 20 are named)\n";
    EXPECT_EQ(printed.find(count), printed.rfind(count)) << printed;
    EXPECT_NE(printed.find(count), std::string::npos) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 22) << printed; // starting over

    // No usable frame at all: the same lines, and no scene.
    frames.reset(); // its decode ahead ends with it
    std::filesystem::remove(folder.path() / "26.jpg");
    ConsoleCapture second;
    EXPECT_EQ(problemOf(folder.path()), "no usable frame");
    const std::string again = second.text();
    EXPECT_EQ(std::count(again.begin(), again.end(), '\n'), 21) << again;
    EXPECT_NE(again.find(count), std::string::npos) << again;
}

TEST(RecordedFrames, AFolderOfOneUsableFrameSaysOnceThatItStartsOver) {
    TempFolder folder;
    folder.write("only.jpg", *imaging::encodeJpeg(flat(0, 120, 0), 95, {}));
    const auto frames = openFrames(folder.path(), photoSize);
    ASSERT_NE(frames, nullptr);
    ConsoleCapture console;
    for (int photo = 0; photo < 36; ++photo) {
        EXPECT_NEAR(greenOf(*frames, FramePurpose::photo), 120, 2);
    }
    EXPECT_EQ(console.text(), "recorded frames: starting over at the first frame of '" +
                                  folder.path().string() + "'\n");
}

TEST(RecordedFrames, SignalScalesByTheRequestedOverTheRecordedExposure) {
    TempFolder folder;
    // Linear 0.05 in sRGB is 63; twice the exposure gives 0.1 (89), at twice the ISO 0.2 (124).
    folder.write("f.tif",
                 *imaging::encodeTiff(flat(63, 63, 63), exposed(0.5, 100), {.keepAlpha = false}));
    const auto frames = openFrames(folder.path(), photoSize);
    ASSERT_NE(frames, nullptr);
    EXPECT_NEAR(greenOf(*frames, FramePurpose::live, exposure(0.5, 100)), 63, 2);
    EXPECT_NEAR(greenOf(*frames, FramePurpose::live, exposure(1, 100)), 89, 2);
    EXPECT_NEAR(greenOf(*frames, FramePurpose::live, exposure(1, 200)), 124, 2);
}

TEST(RecordedFrames, ARawMosaicReplaysPhotositeForPhotosite) {
    TempFolder folder;
    const auto mosaic = imaging::test::makeBayer(32, 24, pixelformat::bayer14RGGB);
    folder.write("raw.dng", *imaging::encodeDng(
                                *mosaic, imaging::test::rawMetadata(528, 16383, {0.5, 1, 0.7})));
    const auto frames = openFrames(folder.path(), photoSize);
    ASSERT_NE(frames, nullptr);
    auto out = PixelBuffer::make(32, 24, pixelformat::bayer14RGGB);
    frames->render({}, exposure(), FramePurpose::photo, *out);
    for (std::size_t y = 0; y < 24; y += 5) {
        for (std::size_t x = 0; x < 32; x += 3) {
            EXPECT_EQ(out->row<std::uint16_t>(y)[x], mosaic->row<std::uint16_t>(y)[x]);
        }
    }
}

// A live frame is converted once and shown again until what it depends on changes: after each
// change it is what a scene that never showed a live frame gives.
TEST(RecordedFrames, ALiveFrameFollowsEveryChangeOfItsLook) {
    TempFolder folder;
    const RgbaImage picture = flat(40, 120, 200);
    folder.write("a.jpg", *imaging::encodeJpeg(picture, 95, exposed(0.01, 100)));
    folder.write("b.jpg", *imaging::encodeJpeg(flat(200, 120, 40), 95, exposed(0.01, 100)));
    const auto frames = openFrames(folder.path(), photoSize);
    ASSERT_NE(frames, nullptr);
    const auto liveFrame = [](const RecordedFrames& scene, const FrameExposure& e,
                              std::size_t width = 16) {
        auto out = PixelBuffer::make(width, 12, pixelformat::bgra32);
        scene.render({}, e, FramePurpose::live, *out);
        return out;
    };
    const auto same = [](const PixelBuffer& a, const PixelBuffer& b) {
        return a.dataSize() == b.dataSize() &&
               std::memcmp(a.baseAddress(), b.baseAddress(), a.dataSize()) == 0;
    };
    FrameExposure e = exposure();
    auto before = liveFrame(*frames, e);
    EXPECT_TRUE(same(*before, *liveFrame(*frames, e)));
    const auto changes = std::vector<std::pair<const char*, std::function<void()>>>{
        {"exposure time", [&] { e.durationSeconds = 0.005; }},
        {"ISO", [&] { e.iso = 50; }},
        {"white balance", [&] { e.whiteBalanceGains.blueGain *= 0.5f; }},
    };
    for (const auto& [name, change] : changes) {
        change();
        const auto after = liveFrame(*frames, e);
        EXPECT_TRUE(same(*after, *liveFrame(*openFrames(folder.path(), photoSize), e))) << name;
        EXPECT_FALSE(same(*before, *after)) << name;
        before = after;
    }
    EXPECT_EQ(liveFrame(*frames, e, 8)->width(), 8u); // another size
    auto photo = PixelBuffer::make(16, 12, pixelformat::bgra32);
    frames->render({}, e, FramePurpose::photo, *photo);
    frames->render({}, e, FramePurpose::photo, *photo); // the second frame
    EXPECT_NEAR(liveFrame(*frames, e)->row<std::uint8_t>(6)[8 * 4 + 2],
                photo->row<std::uint8_t>(6)[8 * 4 + 2], 1);
    EXPECT_FALSE(same(*before, *liveFrame(*frames, e)));
}

} // namespace
} // namespace qv::platform

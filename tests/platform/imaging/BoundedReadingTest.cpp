// Hostile and broken files: declared sizes far beyond the file, cut files,
// and a RAW developer that crashes or lies. Each gives a clear error at once,
// without allocating what the file claims and without harm to this process.

#include "ImagingTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ImageDecoding.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/RawDevelopment.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/imaging/detail/RawDeveloperProcess.hpp"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace qv::platform::imaging {
namespace {

RgbaImage flatImage(std::size_t width, std::size_t height, int bits) {
    RgbaImage image(width, height, bits);
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width * 4; ++x) {
            if (bits == 8) {
                image.row8(y)[x] = std::uint8_t(x * 7 + y);
            } else {
                image.row16(y)[x] = std::uint16_t(x * 1031 + y);
            }
        }
    }
    return image;
}

FileData bayerDng() {
    return *encodeDng(*test::makeBayer(64, 48, pixelformat::bayer14RGGB),
                      test::rawMetadata(528, 16383, {0.5, 1.0, 0.7}));
}

std::uint32_t read32(const FileData& file, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, &file[at], 4);
    return v;
}

// The little-endian TIFF with its first directory's ImageWidth and
// ImageLength entries rewritten as LONG values.
FileData tiffDeclaring(FileData file, std::uint32_t width, std::uint32_t height) {
    const std::uint32_t directory = read32(file, 4);
    const std::uint16_t entries = std::uint16_t(file[directory] | file[directory + 1] << 8);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t at = directory + 2 + i * 12;
        const std::uint16_t tag = std::uint16_t(file[at] | file[at + 1] << 8);
        if (tag == 256 || tag == 257) {
            const std::uint16_t longType = 4;
            const std::uint32_t count = 1;
            const std::uint32_t value = tag == 256 ? width : height;
            std::memcpy(&file[at + 2], &longType, 2);
            std::memcpy(&file[at + 4], &count, 4);
            std::memcpy(&file[at + 8], &value, 4);
        }
    }
    return file;
}

// The JPEG with its frame header's height and width rewritten.
FileData jpegDeclaring(FileData file, std::uint16_t width, std::uint16_t height) {
    for (std::size_t i = 2; i + 9 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == 0xC0) {
            file[i + 5] = std::uint8_t(height >> 8);
            file[i + 6] = std::uint8_t(height);
            file[i + 7] = std::uint8_t(width >> 8);
            file[i + 8] = std::uint8_t(width);
            return file;
        }
    }
    ADD_FAILURE() << "no baseline frame header";
    return file;
}

std::size_t peakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return std::size_t(usage.ru_maxrss) * 1024;
}

template <class T>
void expectRefused(const Result<T>& result, const std::string& words) {
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().find(words), std::string::npos) << result.error();
}

TEST(BoundedReading, HugeDeclaredSizesAreRefusedWithoutAllocatingThem) {
    const std::size_t peakBefore = peakResidentBytes();
    const FileData tiff = tiffDeclaring(*encodeTiff(flatImage(16, 12, 8), {}), 100000, 100000);
    expectRefused(decodeTiff(tiff), "the image claims 100000 x 100000 pixels, more than the 200 "
                                    "megapixels a reader accepts");
    expectRefused(decodeImage(tiff), "100000 x 100000");

    const FileData dng = tiffDeclaring(bayerDng(), 60000, 60000);
    expectRefused(decodeDng(dng), "DNG: the image claims 60000 x 60000 pixels");
    expectRefused(developRaw(dng, {.halfSize = true}),
                  "RAW development: the image claims 60000 x 60000 pixels");
    // Within the pixel limit, but far more samples than the file holds.
    expectRefused(decodeDng(tiffDeclaring(bayerDng(), 10000, 10000)),
                  "too few for the 200000000 bytes of its 10000 x 10000 pixels");

    const FileData jpeg = *encodeJpeg(flatImage(16, 12, 8), 90, {});
    expectRefused(decodeJpeg(jpegDeclaring(jpeg, 65000, 65000)),
                  "JPEG: the image claims 65000 x 65000 pixels");
    expectRefused(decodeJpeg(jpegDeclaring(jpeg, 6000, 6000)), "too few for its 6000 x 6000");

    // The claims add up to well over 100 GB; the process stayed small.
    EXPECT_LT(peakResidentBytes(), peakBefore + (std::size_t(64) << 20));
}

TEST(BoundedReading, ACutFileIsAnErrorWhereverItIsCut) {
    const std::vector<std::pair<std::string, FileData>> files{
        {"JPEG", *encodeJpeg(flatImage(40, 30, 8), 90, {})},
        {"TIFF 8", *encodeTiff(flatImage(40, 30, 8), {})},
        {"TIFF 16", *encodeTiff(flatImage(40, 30, 16), {}, {.keepAlpha = false})},
        {"DNG", bayerDng()},
    };
    for (const auto& [kind, file] : files) {
        for (const double kept : {0.1, 0.5, 0.9, 0.99}) {
            SCOPED_TRACE(kind + " cut at " + std::to_string(kept));
            const FileBytes cut(file.data(), std::size_t(double(file.size()) * kept));
            EXPECT_FALSE(decodeImage(cut, {.halfSize = true}).ok());
            EXPECT_FALSE(decodeDng(cut).ok());
        }
        EXPECT_TRUE(decodeImage(file, {.halfSize = true}).ok()) << kind;
    }
}

// Runs the stand-in developer in the given mode.
Result<detail::DevelopedSamples> developWithFake(const char* mode, FileBytes file) {
    ::setenv("QV_FAKE_DEVELOPER", mode, 1);
    auto result = detail::developInChildProcess(QV_FAKE_RAW_DEVELOPER, file, false);
    ::unsetenv("QV_FAKE_DEVELOPER");
    return result;
}

TEST(RawDeveloperProcess, ACrashingOrLyingDeveloperGivesAnErrorAndThisProcessGoesOn) {
    const FileData file = bayerDng();
    expectRefused(developWithFake("crash", file), "it stopped on signal 11");
    expectRefused(developWithFake("abort", file), "it stopped on signal 6");
    expectRefused(developWithFake("status", file), "it ended with status 3");
    expectRefused(developWithFake("huge", file), "an answer of 100000 x 100000 pixels");
    expectRefused(developWithFake("cut", file), "a cut-off answer");
    expectRefused(developWithFake("long", file), "an answer longer than its picture");
    const auto chatty = developWithFake("chatty", file);
    ASSERT_FALSE(chatty.ok());
    EXPECT_EQ(chatty.error(), std::string(1000, 'x'));
    expectRefused(developWithFake("", file), "no answer");
    expectRefused(detail::developInChildProcess("/nonexistent/qv-raw-developer", file, false),
                  "could not start");

    // The whole file reaches the developer, and its answer comes back whole.
    const auto tiny = developWithFake("tiny", file);
    ASSERT_TRUE(tiny.ok()) << tiny.error();
    EXPECT_EQ(tiny->width, 2u);
    EXPECT_EQ(tiny->height, 1u);
    EXPECT_EQ(tiny->rgb, std::vector<std::uint16_t>(6, std::uint16_t(file.size())));
}

// Run in a process of its own (the test after it starts one): which signals were ignored is
// recorded once per process, at its start.
TEST(RawDeveloperProcessStartedWithBrokenPipesIgnored, ARefusedAnswerIsReportedForWhatItWas) {
    if (std::getenv("QV_STARTED_WITH_SIGPIPE_IGNORED") == nullptr) {
        GTEST_SKIP() << "run by the next test in a process started with SIGPIPE ignored";
    }
    // The developer still writing when its answer is refused ends on the broken pipe, not
    // on a failed write of its own that would hide why the answer was refused.
    expectRefused(developWithFake("huge", bayerDng()), "an answer of 100000 x 100000 pixels");
}

TEST(RawDeveloperProcess, StartedWithBrokenPipesIgnoredTheDeveloperStillEndsOnOne) {
    testing::ChildProcess child([](testing::ChildProcess&) {
        std::signal(SIGPIPE, SIG_IGN);
        ::setenv("QV_STARTED_WITH_SIGPIPE_IGNORED", "1", 1);
        ::execl("/proc/self/exe", "imaging_tests",
                "--gtest_filter=RawDeveloperProcessStartedWithBrokenPipesIgnored.*",
                static_cast<char*>(nullptr));
        return 127;
    });
    EXPECT_EQ(child.finish(), 0);
}

TEST(RawDeveloperProcess, FilesThatAreNoDngNeverReachTheDeveloper) {
    expectRefused(developRaw(*encodeTiff(flatImage(16, 12, 8), {})),
                  "RAW development: the file has no DNGVersion");
    expectRefused(developRaw(*encodeJpeg(flatImage(16, 12, 8), 90, {})),
                  "RAW development: not a TIFF-based file");
    const FileData empty;
    expectRefused(developRaw(empty), "RAW development: not a TIFF-based file");
}

TEST(RawDeveloperProcess, SeveralThreadsDevelopAtOnce) {
    const FileData file = bayerDng();
    std::vector<Result<RgbaImage>> results(4, Result<RgbaImage>::failure("not run"));
    std::vector<std::thread> threads;
    for (auto& result : results) {
        threads.emplace_back([&] { result = developRaw(file, {.halfSize = true}); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& result : results) {
        ASSERT_TRUE(result.ok()) << result.error();
        EXPECT_EQ(result->width(), 32u);
    }
}

} // namespace
} // namespace qv::platform::imaging

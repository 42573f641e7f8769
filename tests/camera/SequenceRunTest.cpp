// Whole runs on the virtual clock with an in-memory camera: release, countdown, requests,
// merges, intermediates, the finish and the series, as the user sees them.

#include "RunTestSupport.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/media/MetadataKeys.hpp"

namespace qv::testing {
namespace {

namespace key = platform::metadata;
using platform::imaging::readMetadata;

std::string description(const std::filesystem::path& file) {
    const auto tags = readMetadata(readFile(file));
    const auto* tiff = tags ? tags->dictionary(key::tiffGroup) : nullptr;
    const auto* text = tiff ? tiff->find(key::tiffImageDescription) : nullptr;
    return text && text->string() ? *text->string() : "<none>";
}

class SequenceRunTest : public RunTest {};

TEST_F(SequenceRunTest, AnAveragingRunSavesOneFileOfItsFrames) {
    startCamera();
    ASSERT_EQ(camera->cameraState.get(), CameraState::ready);
    useManualExposure(1, 100);
    plan(10, SupportedImageFormat::RAW);
    press();
    // The start waits for the custom exposure of 1 s to reach the camera.
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    wait(1.1);
    EXPECT_EQ(camera->cameraState.get(), CameraState::shooting);
    wait(12);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    ASSERT_EQ(documentNames(), std::vector<std::string>{"QV_20240101_000011.DNG"});
    EXPECT_EQ(description(documents().front()).rfind("FA mode 10 frames in 10s ", 0), 0u);
    EXPECT_EQ(assetCount(), 1u);
    EXPECT_EQ(endSounds(), 1u);
}

} // namespace
} // namespace qv::testing

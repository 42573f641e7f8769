#pragma once
// A controller that shoots whole runs on the virtual clock: an in-memory wide camera with
// small photos, the photo library, the folders and the permissions in the test's home,
// local time in UTC, a location fix that the user allows.

#include "CameraTestSupport.hpp"
#include "StubPrograms.hpp"
#include "platform/audio/SystemSound.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibrary.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::testing {

// An in-memory camera whose photos are 64 x 48 (large enough for LibRaw) and whose longest
// exposure is `longestExposure`.
Camera smallPhotoCamera(
    double longestExposure = 1,
    platform::CaptureDeviceType kind = platform::CaptureDeviceType::builtInWideAngleCamera);

// The fix every run may save: 48.8584 N, 2.2945 E, 35 m, heading 90.
inline constexpr const char* testLocation = "48.8584,2.2945,35,90";

class RunTest : public CameraTest {
protected:
    RunTest();
    ~RunTest() override;

    // Makes the controller with the test's services and pumps until it is ready.
    std::shared_ptr<CameraManager> startCamera();
    // Manual exposure at the shutter speed and ISO nearest these.
    void useManualExposure(double seconds, float iso);
    // The run's settings: duration and intermediate indices, format, no release delay.
    void plan(std::int64_t durationIndex, SupportedImageFormat format,
              std::int64_t interimIndex = 0);
    void press();
    // Shoots a 3 s RAW bracket of `ev` whose file format is switched to JPEG once the run's
    // time is up, while its last photos are still merged (the screen allows it then).
    void shootBracketWithALateFormatFlip(float ev);
    // Moves the clock on by `seconds` (and runs everything that comes due).
    void wait(double seconds);

    // The files in Documents, by name.
    std::vector<std::filesystem::path> documents() const;
    std::vector<std::string> documentNames() const;
    std::size_t assetCount() const;
    // The sounds played so far that end a run (1108).
    std::size_t endSounds() const;
    std::string console() const { return consoleCapture.text(); }
    // How often `text` was printed so far.
    std::size_t printed(const std::string& text) const;

    EnvironmentOverride utc{"TZ", "UTC"};
    EnvironmentOverride noScript{"QV_PERMISSIONS", std::nullopt};
    EnvironmentOverride noLocation{"QV_LOCATION", std::nullopt};
    platform::ConsoleCapture consoleCapture;
    platform::SoundRecorder sounds;
    std::unique_ptr<platform::Permissions> permissions;
    std::unique_ptr<platform::PhotoLibrary> library;
    // The folders the next startCamera() hands the controller.
    platform::AppFolders folders = platform::AppFolders::under(home);
    // The --location value the next startCamera() hands the controller.
    std::optional<std::string> location = testLocation;
    std::shared_ptr<PreviewImageModel> previews = PreviewImageModel::make();
};

platform::imaging::FileData readFile(const std::filesystem::path& file);

} // namespace qv::testing

#pragma once

#include "camera/CameraManager.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibrary.hpp"
#include "platform/sensors/Device.hpp"
#include "platform/store/UserDefaults.hpp"
#include "platform/system/Application.hpp"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace qv::testing {

using Camera = std::shared_ptr<platform::InMemoryCaptureDevice>;

// An in-memory back camera of a kind: ISO 32...3072, 1/100000...1 s, bias -8...8, f/1.8.
Camera makeCamera(platform::CaptureDeviceType kind, float fieldOfView = 70);
Camera wideCamera();
// A BGRA live frame of one colour.
std::shared_ptr<platform::PixelBuffer> frameOf(std::size_t width, std::size_t height,
                                               std::uint8_t red, std::uint8_t green,
                                               std::uint8_t blue);
Camera teleCamera(float fieldOfView = 26.3f);
Camera ultraWideCamera();

// The phone's services for a controller under test, in a folder of the test's own:
// permissions from `permissionScript` (PermissionScript.hpp), the photo library in
// home/Photos, a screen 1170 pixels wide, no configured location, a preview model of its own.
// Make it after the VirtualDispatch, if any, and keep it while the controller lives.
struct ServicesUnderTest {
    static constexpr const char* grantedScript = "camera=authorized,photos=authorized";

    explicit ServicesUnderTest(const std::filesystem::path& home,
                               const std::string& permissionScript = grantedScript);
    CameraServices services(platform::UserDefaults& defaults, platform::Device& phone);

    std::filesystem::path home;
    platform::Permissions permissions;
    platform::PhotoLibrary photoLibrary;
    platform::Application application;
    std::shared_ptr<PreviewImageModel> previewImageModel = PreviewImageModel::make();
};

// A controller on the virtual clock with in-memory cameras and its settings in a file of
// its own, as the app makes it: the standard defaults are that file while the test runs.
class CameraTest : public ::testing::Test {
protected:
    CameraTest();
    ~CameraTest() override;

    // Makes the given cameras the phone's, in this order of discovery.
    void install(std::vector<Camera> cameras);
    // Makes the controller (start-up runs) and pumps until idle.
    std::shared_ptr<CameraManager> start();
    // The services start() makes the controller with.
    CameraServices services();
    // New services with these permissions (camera and Photos granted by default), for the
    // controller made next.
    void usePermissions(const std::string& script);
    // A new settings store on the same file, as a new launch reads it.
    void relaunchSettings();
    void pump() { dispatch.runUntilIdle(); }

    std::filesystem::path home;
    platform::VirtualDispatch dispatch;
    platform::Device phone;
    std::optional<platform::StandardDefaultsOverride> settingsStore;
    std::optional<ServicesUnderTest> platformServices;
    std::vector<Camera> cameras;
    std::optional<platform::CaptureDeviceDiscovery::Installation> installation;
    std::shared_ptr<CameraManager> camera;
};

// A controller on real threads: the main queue runs on the test's thread when the test
// drains it, every other queue on a thread of its own. Its settings and services are in a
// folder of its own; writes of published state off the main queue are counted.
class ControllerOnRealThreadsHarness {
public:
    explicit ControllerOnRealThreadsHarness(std::vector<Camera> cameras);
    ~ControllerOnRealThreadsHarness();

    // Runs the main-queue work that is ready now, and what it queues.
    static void drainMain();
    // Ends the controller and runs what its end leaves on the main queue.
    void end();

    std::filesystem::path home;
    std::atomic<int> offMainWrites{0};
    std::optional<platform::StandardDefaultsOverride> settings;
    platform::Device phone;
    std::optional<platform::CaptureDeviceDiscovery::Installation> installation;
    std::optional<ServicesUnderTest> platformServices;
    std::shared_ptr<CameraManager> camera;
};

} // namespace qv::testing

#pragma once

#include "camera/CameraManager.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/sensors/Device.hpp"
#include "platform/store/UserDefaults.hpp"

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
Camera teleCamera(float fieldOfView = 26.3f);
Camera ultraWideCamera();

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
    // A new settings store on the same file, as a new launch reads it.
    void relaunchSettings();
    void pump() { dispatch.runUntilIdle(); }

    std::filesystem::path home;
    platform::VirtualDispatch dispatch;
    platform::Device phone;
    std::optional<platform::StandardDefaultsOverride> settingsStore;
    std::vector<Camera> cameras;
    std::optional<platform::CaptureDeviceDiscovery::Installation> installation;
    std::shared_ptr<CameraManager> camera;
};

} // namespace qv::testing

#pragma once

// The kinds of camera the contract tests run on.
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/capture/scene/SyntheticNightScene.hpp"
#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace qv::platform {

struct InMemoryKind {
    static std::shared_ptr<CaptureDevice> make() {
        return std::make_shared<InMemoryCaptureDevice>();
    }
};

// A simulated wide camera of 160x120 photos, so an hour of frames renders in seconds.
inline SimulatedCameraSpec smallWideCamera() {
    SimulatedCameraSpec spec;
    spec.photoSize = {160, 120};
    spec.previewSize = {80, 60};
    spec.videoSize = {96, 72};
    return spec;
}

struct SimulatedKind {
    static std::shared_ptr<CaptureDevice> make() {
        return std::make_shared<SimulatedCaptureDevice>(smallWideCamera(), CameraProfile::builtIn(),
                                                        std::make_shared<SyntheticNightScene>());
    }
};

using CaptureDeviceKinds = ::testing::Types<InMemoryKind, SimulatedKind>;

struct CaptureDeviceKindNames {
    template <class T>
    static std::string GetName(int) {
        if constexpr (std::is_same_v<T, InMemoryKind>) {
            return "InMemory";
        }
        return "Simulated";
    }
};

} // namespace qv::platform

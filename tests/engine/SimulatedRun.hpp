#pragma once

// A run of the simulated camera merged by the engine: photos taken through a capture
// session on a virtual clock, fed to the merger the engine chooses for them.

#include "engine/PhotoMerger.hpp"
#include "platform/capture/CaptureDeviceFormat.hpp"
#include "platform/capture/scene/SyntheticNightScene.hpp"

namespace qv::test {

struct SimulatedRunOptions {
    SequenceMode mode = SequenceMode::starTrails;
    int photos = 10;
    double seconds = 1; // each photo's exposure
    float iso = 800;
    platform::FourCharCode format = platform::pixelformat::bayer14RGGB; // or 'BGRA'
    platform::PixelDimensions size{640, 480};
    std::uint32_t framesPerGroup = 1; // star trails
    platform::SyntheticSceneOptions scene;
};

struct SimulatedRun {
    std::shared_ptr<platform::CapturedPhoto> firstPhoto; // a copy, kept as it was taken
    std::shared_ptr<PhotoMerger> merger;
};

SimulatedRun runSimulatedCamera(const SimulatedRunOptions& options);

} // namespace qv::test

#pragma once

#include "platform/capture/CaptureDevice.hpp"

#include <memory>
#include <string>
#include <vector>

namespace qv::platform {

// Finds the phone's back cameras. Which cameras the phone has is installed: by the app at
// start-up (the simulated camera's devices) or by a test (in-memory devices). Until then
// the phone has none. An installation without cameras may say why, in one short sentence
// the screen can show. Safe from any thread.
class CaptureDeviceDiscovery {
public:
    // The installed cameras of the given kinds, in the order of the kinds asked for (cameras
    // of one kind in the order installed); kinds not asked for are left out.
    static std::vector<std::shared_ptr<CaptureDevice>>
    devices(const std::vector<CaptureDeviceType>& types);

    // Why the phone has no camera, as the installation said ("No usable recorded frame of
    // 4032x3024."); empty when it has cameras or nobody said.
    static std::string whyNoCamera();

    // Makes `cameras` the phone's cameras while the returned installation lives, with the
    // reason when there are none; the ones installed before come back when it goes.
    class Installation {
    public:
        Installation(std::vector<std::shared_ptr<CaptureDevice>> previous,
                     std::string previousReason)
            : previous_(std::move(previous)), previousReason_(std::move(previousReason)) {}
        ~Installation();
        Installation(Installation&& other) noexcept;
        Installation& operator=(Installation&&) = delete;
        Installation(const Installation&) = delete;
        Installation& operator=(const Installation&) = delete;

    private:
        std::vector<std::shared_ptr<CaptureDevice>> previous_;
        std::string previousReason_;
        bool active_ = true;
    };
    [[nodiscard]] static Installation install(std::vector<std::shared_ptr<CaptureDevice>> cameras,
                                              std::string whyNone = {});
};

} // namespace qv::platform

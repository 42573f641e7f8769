#pragma once

#include "platform/capture/CaptureDevice.hpp"

#include <memory>
#include <vector>

namespace qv::platform {

// Finds the phone's back cameras. Which cameras the phone has is installed: by the app at
// start-up (the simulated camera's devices) or by a test (in-memory devices). Until then
// the phone has none. Safe from any thread.
class CaptureDeviceDiscovery {
public:
    // The installed cameras of the given kinds, in the order of the kinds asked for (cameras
    // of one kind in the order installed); kinds not asked for are left out.
    static std::vector<std::shared_ptr<CaptureDevice>>
    devices(const std::vector<CaptureDeviceType>& types);

    // Makes `cameras` the phone's cameras while the returned installation lives; the ones
    // installed before come back when it goes.
    class Installation {
    public:
        explicit Installation(std::vector<std::shared_ptr<CaptureDevice>> previous)
            : previous_(std::move(previous)) {}
        ~Installation();
        Installation(Installation&& other) noexcept;
        Installation& operator=(Installation&&) = delete;
        Installation(const Installation&) = delete;
        Installation& operator=(const Installation&) = delete;

    private:
        std::vector<std::shared_ptr<CaptureDevice>> previous_;
        bool active_ = true;
    };
    [[nodiscard]] static Installation install(std::vector<std::shared_ptr<CaptureDevice>> cameras);
};

} // namespace qv::platform

#include "platform/capture/CaptureDeviceDiscovery.hpp"

#include <mutex>

namespace qv::platform {

namespace {

std::mutex installedMutex; // guards installed
std::vector<std::shared_ptr<CaptureDevice>> installed;

std::vector<std::shared_ptr<CaptureDevice>>
replaceInstalled(std::vector<std::shared_ptr<CaptureDevice>> cameras) {
    std::lock_guard guard(installedMutex);
    installed.swap(cameras);
    return cameras;
}

} // namespace

std::vector<std::shared_ptr<CaptureDevice>>
CaptureDeviceDiscovery::devices(const std::vector<CaptureDeviceType>& types) {
    std::vector<std::shared_ptr<CaptureDevice>> cameras;
    {
        std::lock_guard guard(installedMutex);
        cameras = installed;
    }
    std::vector<std::shared_ptr<CaptureDevice>> found;
    for (CaptureDeviceType type : types) {
        for (const auto& camera : cameras) {
            if (camera->deviceType() == type) {
                found.push_back(camera);
            }
        }
    }
    return found;
}

CaptureDeviceDiscovery::Installation
CaptureDeviceDiscovery::install(std::vector<std::shared_ptr<CaptureDevice>> cameras) {
    return Installation(replaceInstalled(std::move(cameras)));
}

CaptureDeviceDiscovery::Installation::Installation(Installation&& other) noexcept
    : previous_(std::move(other.previous_)), active_(std::exchange(other.active_, false)) {}

CaptureDeviceDiscovery::Installation::~Installation() {
    if (active_) {
        replaceInstalled(std::move(previous_));
    }
}

} // namespace qv::platform

#include "platform/capture/CaptureDeviceDiscovery.hpp"

#include <mutex>

namespace qv::platform {

namespace {

std::mutex installedMutex; // guards installed and installedReason
std::vector<std::shared_ptr<CaptureDevice>> installed;
std::string installedReason;

// Installs `cameras` with `reason`, handing back what was installed before in their place.
void replaceInstalled(std::vector<std::shared_ptr<CaptureDevice>>& cameras, std::string& reason) {
    std::lock_guard guard(installedMutex);
    installed.swap(cameras);
    installedReason.swap(reason);
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

std::string CaptureDeviceDiscovery::whyNoCamera() {
    std::lock_guard guard(installedMutex);
    return installed.empty() ? installedReason : std::string();
}

CaptureDeviceDiscovery::Installation
CaptureDeviceDiscovery::install(std::vector<std::shared_ptr<CaptureDevice>> cameras,
                                std::string whyNone) {
    replaceInstalled(cameras, whyNone);
    return Installation(std::move(cameras), std::move(whyNone));
}

CaptureDeviceDiscovery::Installation::Installation(Installation&& other) noexcept
    : previous_(std::move(other.previous_)), previousReason_(std::move(other.previousReason_)),
      active_(std::exchange(other.active_, false)) {}

CaptureDeviceDiscovery::Installation::~Installation() {
    if (active_) {
        replaceInstalled(previous_, previousReason_);
    }
}

} // namespace qv::platform

#include "platform/photos/PhotoLibraryFaults.hpp"

#include <mutex>

namespace qv::platform {

namespace {

std::mutex faultsMutex; // installed on the test's thread, read on the library's queues
PhotoLibraryFaults installed;

} // namespace

ScopedPhotoLibraryFaults::ScopedPhotoLibraryFaults(PhotoLibraryFaults faults) {
    std::lock_guard lock(faultsMutex);
    previous_ = installed;
    installed = faults;
}

ScopedPhotoLibraryFaults::~ScopedPhotoLibraryFaults() {
    std::lock_guard lock(faultsMutex);
    installed = previous_;
}

PhotoLibraryFaults ScopedPhotoLibraryFaults::current() {
    std::lock_guard lock(faultsMutex);
    return installed;
}

} // namespace qv::platform

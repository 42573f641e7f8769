#pragma once

namespace qv::platform {

// Fault switches of the photo library, for tests of the code above it. A process has one
// set; install it with ScopedPhotoLibraryFaults.
struct PhotoLibraryFaults {
    bool accessDenied = false;      // the library acts as if the user had refused access
    bool failChanges = false;       // every asset creation fails, leaving nothing behind
    bool failImageRequests = false; // every image request fails
};

// Installs a set for its lifetime and restores the previous one. Made and dropped on the
// test's thread; the library's queues read it.
class ScopedPhotoLibraryFaults {
public:
    explicit ScopedPhotoLibraryFaults(PhotoLibraryFaults faults);
    ~ScopedPhotoLibraryFaults();
    ScopedPhotoLibraryFaults(const ScopedPhotoLibraryFaults&) = delete;
    ScopedPhotoLibraryFaults& operator=(const ScopedPhotoLibraryFaults&) = delete;

    // The switches in force.
    static PhotoLibraryFaults current();

private:
    PhotoLibraryFaults previous_;
};

} // namespace qv::platform
